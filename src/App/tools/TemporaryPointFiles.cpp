#include "tools/TemporaryPointFiles.h"

#include "tools/HistoryFile.h"

#include <QDir>
#include <QFile>

TemporaryPointFiles::~TemporaryPointFiles()
{
    removeAll();
}

void TemporaryPointFiles::clearFolder() const
{
    QDir folder(m_folder);
    const QStringList left = folder.entryList({QStringLiteral("*.mitmp"), QStringLiteral("*.hdbx")},
                                              QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : left)
        folder.remove(name);
}

bool TemporaryPointFiles::append(const QString &pointName, const QByteArray &records)
{
    const QString safe = HistoryFile::safeName(pointName);
    const auto known = m_files.find(safe);
    QFile file(known != m_files.end() ? known->second.path : m_folder + safe + QStringLiteral(".mitmp"));
    const bool first = known == m_files.end();
    if (!file.open(first ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append))
        return false;
    const QByteArray header = first ? HistoryFile::header(pointName) : QByteArray();
    if ((first && file.write(header) != header.size()) || file.write(records) != records.size() || !file.flush()) {
        // A torn append would shift every later record: the file goes back to its last whole state.
        if (first)
            file.remove();
        else
            file.resize(HistoryFile::HeaderSize + known->second.records * HistoryFile::RecordSize);
        return false;
    }
    File &entry = m_files[safe];
    if (first)
        entry = {file.fileName(), pointName, 0};
    entry.records += records.size() / HistoryFile::RecordSize;
    return true;
}

void TemporaryPointFiles::removeAll()
{
    for (const auto &[safe, file] : m_files)
        QFile::remove(file.path);
    m_files.clear();
}
