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

bool TemporaryPointFiles::append(const QString &pointName, const QByteArray &records, bool inUnit)
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
    if (inUnit && entry.unit != m_unit) {
        entry.unit = m_unit;
        entry.unitStart = entry.records;
    }
    entry.records += records.size() / HistoryFile::RecordSize;
    return true;
}

void TemporaryPointFiles::takeBackUnit()
{
    for (auto it = m_files.begin(); it != m_files.end();) {
        File &file = it->second;
        if (file.unit == m_unit && file.unitStart == 0) {
            QFile::remove(file.path);
            it = m_files.erase(it);
            continue;
        }
        if (file.unit == m_unit && QFile::resize(file.path, HistoryFile::HeaderSize + file.unitStart * HistoryFile::RecordSize))
            file.records = file.unitStart;
        ++it;
    }
}

void TemporaryPointFiles::removeAll()
{
    for (const auto &[safe, file] : m_files)
        QFile::remove(file.path);
    m_files.clear();
}
