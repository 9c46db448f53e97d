#pragma once

#include <QString>

/// A file written under a temporary name beside its destination, "DEST.XXXXXX.part", and
/// renamed over the destination once it is whole. The object is the one owner of the file: it
/// removes the file on every path that does not commit it, and SIGINT or SIGTERM remove it too
/// before they end the program (when the program leaves those signals to their default). While
/// it lives it holds a lock on the file, so that RemoveStaleParts tells the part of a running
/// copy from one left by a program that was killed.
class PartFile {
public:
    /// Creates the empty part file beside dest; raises ZvError with the system's reason when it
    /// cannot.
    explicit PartFile(const QString& dest);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const QString& path() const { return m_path; }
    /// Renames the part over dest; raises ZvError with the system's reason on failure.
    void commit();

private:
    QString m_dest;
    QString m_path;
    QString m_journal;
    int m_fd = -1;
    int m_slot = -1;
};

/// The pattern of the names of the part files that PartFile makes for the destinations whose
/// names match destPattern (a regular expression): destPattern + ".XXXXXX.part".
QString PartNamePattern(const QString& destPattern);

/// Removes the part files in folder whose names match namePattern (a regular expression over
/// the whole name) and that no running copy holds: those of a program killed mid-copy, with
/// the engine's journals of them ("-journal" after the name). Other files are never touched.
void RemoveStaleParts(const QString& folder, const QString& namePattern);
