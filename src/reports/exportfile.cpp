#include "exportfile.h"

#include "databasefiles.h"
#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

namespace {
/// Whether something other than a regular file is there (following symbolic links).
bool IsOtherThanRegularFile(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode);
}
} // namespace

ExportFile::ExportFile(const QString& path) : m_path(path) {
    RefuseOutputOntoDatabase(path); // nothing is opened, so the database is not touched
    // Replacing a device node or a FIFO would put a plain file in its place (as root, even
    // /dev/null); such a target is written as it is.
    m_inPlace = IsOtherThanRegularFile(path);
    if (m_inPlace)
        m_file = std::make_unique<QFile>(path);
    else
        m_file = std::make_unique<QSaveFile>(path);
    if (!m_file->open(QIODevice::WriteOnly))
        fail();
}

ExportFile::~ExportFile() = default;

void ExportFile::write(QByteArrayView bytes) {
    if (m_file->write(bytes.data(), bytes.size()) != bytes.size())
        fail();
}

void ExportFile::commit() {
    const bool done = m_inPlace ? m_file->flush() : static_cast<QSaveFile&>(*m_file).commit();
    if (!done)
        fail();
    if (m_inPlace)
        m_file->close();
}

void ExportFile::fail() const {
    throw ZvError(QStringLiteral("Cannot create file \"%1\". %2")
                      .arg(QFileInfo(m_path).absoluteFilePath(), m_file->errorString()));
}
