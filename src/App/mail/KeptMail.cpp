#include "mail/KeptMail.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>

namespace {

// Part files are named ".quillon-<process id>-XXXXXX.part". Those of a process that no longer
// runs (killed in the middle of a check) are removed the first time this process writes into the
// folder; their mails were not filed and are taken again.
void removeLeftovers(const QString &folder)
{
    static QMutex mutex;
    static QSet<QString> cleaned;
    const QMutexLocker lock(&mutex);
    if (cleaned.contains(folder))
        return;
    cleaned.insert(folder);
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral(".quillon-*.part")}, QDir::Files | QDir::Hidden)) {
        bool isNumber = false;
        const qint64 pid = name.section(u'-', 1, 1).toLongLong(&isNumber);
        if (isNumber && pid > 0 && pid != QCoreApplication::applicationPid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
}

} // namespace

KeptMail::KeptMail() = default;
KeptMail::KeptMail(KeptMail &&) noexcept = default;
KeptMail &KeptMail::operator=(KeptMail &&) noexcept = default;
KeptMail::~KeptMail() = default; // a part file not placed goes with its QTemporaryFile

bool KeptMail::write(const QString &folder, const QByteArray &headers, const QByteArray &text, QString *path)
{
    m_file.reset();
    QDir().mkpath(folder);
    removeLeftovers(folder);
    m_folder = folder;
    auto file = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(QStringLiteral(".quillon-%1-XXXXXX.part").arg(QCoreApplication::applicationPid())));
    *path = file->fileTemplate();
    if (!file->open())
        return false;
    *path = file->fileName();
    const QByteArray separator = "\r\n\r\n";
    if (file->write(headers) != headers.size() || file->write(separator) != separator.size()
        || file->write(text) != text.size() || !file->flush())
        return false;
    file->close();
    m_headerBytes = headers.size();
    m_file = std::move(file);
    return true;
}

bool KeptMail::read(QByteArray *headers, QByteArray *text) const
{
    if (!m_file || !m_file->open())
        return false;
    const QByteArray all = m_file->readAll();
    m_file->close();
    if (all.size() < m_headerBytes + 4)
        return false;
    *headers = all.left(m_headerBytes);
    *text = all.mid(m_headerBytes + 4);
    return true;
}

bool KeptMail::place(const QString &baseName, QString *path)
{
    const QDir dir(m_folder);
    *path = dir.filePath(baseName + QStringLiteral(".eml"));
    if (!m_file)
        return false;
    for (int n = 1; QFile::exists(*path); ++n) {
        if (sameBytes(*path)) {
            m_file.reset();
            return true;
        }
        *path = dir.filePath(baseName + QStringLiteral(" (%1).eml").arg(n));
    }
    // A rename never replaces a file: a name taken meanwhile fails here rather than losing a mail.
    if (!QFile::rename(m_file->fileName(), *path))
        return false;
    m_file->setAutoRemove(false);
    m_file.reset();
    return true;
}

bool KeptMail::sameBytes(const QString &path) const
{
    QFile other(path);
    if (other.size() != m_file->size() || !other.open(QIODevice::ReadOnly) || !m_file->open())
        return false;
    constexpr qint64 ChunkBytes = 1 << 16;
    bool same = true;
    while (same && !other.atEnd())
        same = other.read(ChunkBytes) == m_file->read(ChunkBytes);
    m_file->close();
    return same;
}
