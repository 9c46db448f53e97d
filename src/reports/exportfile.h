#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>

class QFileDevice;

/// The file an export writes. A new or regular file is written under a temporary name beside it
/// and takes its place only when the whole content is written (commit): a failed export leaves
/// the old file as it was. An existing target that is not a regular file (a device such as
/// /dev/null, a FIFO) is never replaced: it is written in place. Symbolic links are followed.
/// Every failure raises "Cannot create file "<full path>". <reason>". A target that is a file of
/// a database open in this process is refused before anything is written: "Cannot write "PATH":
/// it is the fee database.".
class ExportFile {
public:
    explicit ExportFile(const QString& path);
    /// Without a commit the temporary file goes and the target stays as it was.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    void write(QByteArrayView bytes);
    void commit();

private:
    [[noreturn]] void fail() const;

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_inPlace = false;
};
