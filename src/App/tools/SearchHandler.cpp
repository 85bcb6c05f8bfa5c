#include "tools/SearchHandler.h"

#include "KyrLogger/Logger.h"

#include <cmath>

SearchHandler::SearchHandler(const DmsConfig &naming)
    : ToolThread("SearchHandler"), m_naming(naming)
{
}

void SearchHandler::startFileSearch(const QDateTime &from, const QDateTime &to, const QString &sources,
                                    const QString &fileFilter, const QString &importFilter, bool importRegex,
                                    const QString &mappedFilter, bool mappedRegex, const QString &valueText,
                                    const QString &unitText, const QList<int> &importTypes, const QString &resultFile)
{
    if (!claim())
        return;
    m_p = {from, to, folderText(sources), fileFilter, importFilter, importRegex, mappedFilter, mappedRegex,
           valueText, unitText, importTypes, resultFile};
    post("onStartFileSearch");
}

QString SearchHandler::valueText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(value, 'g', 6);
}

void SearchHandler::onStartFileSearch()
{
    LOG_OUT(Kyr::LogInfo, "Start search, source %1 from %2 to %3")
        .arg(m_p.sources).arg(m_p.from.toString(Qt::ISODate)).arg(m_p.to.toString(Qt::ISODate)).endl();
    emit sigSearchInfo(QStringLiteral("Searching..."));
    m_counters = {};
    m_ignored = 0;
    m_found = 0;
    m_aks = std::make_unique<AksNaming>(m_naming);
    m_cache.clear();
    m_importRegex.setPattern(m_p.importRegex ? m_p.importFilter : QString());
    m_mappedRegex.setPattern(m_p.mappedRegex ? m_p.mappedFilter : QString());
    m_value = m_p.valueText.toDouble(); // not a number: 0

    m_result.setFileName(m_p.resultFile);
    if (!m_result.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)
        || m_result.write("Filename;Format;ImportRds;DmsRds;Timestamp;Value;Unit\n") < 0) {
        LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(m_p.resultFile).endl();
    } else {
        SourceWalk walk(SourceWalk::Tool::Search, m_counters, [this](const QString &text) { emit sigSearchInfo(text); });
        walk.setNameFilter(m_p.fileFilter);
        for (const QString &source : m_p.sources.split(u';'))
            walk.walk(source, [this](SourceFile &file) { searchFile(file); });
    }
    m_result.close();
    m_aks.reset();

    const QString end = QStringLiteral("== End search, %1 files, %2 failed, %3 skipped; %4 records (%5 found, %6 ignored)")
                            .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.skipped)
                            .arg(m_counters.records).arg(m_found).arg(m_ignored);
    emit sigSearchInfo(end);
    LOG_OUT(Kyr::LogInfo, "%1").arg(end).endl();
    release(m_counters.failed);
}

bool SearchHandler::matches(const QString &text, const QString &filter, const QRegularExpression &regex, bool useRegex) const
{
    return useRegex ? regex.match(text).hasMatch() : text == filter;
}

void SearchHandler::searchFile(SourceFile &file)
{
    if (file.outcome != SourceFile::Outcome::Ok || file.records.isEmpty())
        return;
    m_counters.records += file.records.size();
    if (!m_p.importTypes.contains(0) && !m_p.importTypes.contains(int(file.records.first().importType))) {
        m_ignored += file.records.size();
        return;
    }

    const bool mapped = !m_p.mappedFilter.isEmpty();
    for (DataParser::ValueRec &rec : file.records) {
        AksNaming::applyPrefix(rec, m_naming.prefix);
        m_aks->collectOptions(rec);
        const bool kept = AksNaming::applyOptions(rec);
        if (m_naming.aksToUppercase)
            rec.iaks = rec.iaks.toUpper();
        if (!kept)
            rec.aks.clear();
        else if (mapped && !m_aks->mapRecord(rec, m_cache))
            LOG_OUT(Kyr::LogWarning, "Empty rds for '%1'").arg(rec.iaks).endl();

        if (rec.iaks.isEmpty() || (m_p.from.isValid() && rec.timestamp < m_p.from)
            || (m_p.to.isValid() && rec.timestamp > m_p.to)) {
            ++m_ignored;
            continue;
        }
        if ((!m_p.importFilter.isEmpty() && !matches(rec.iaks, m_p.importFilter, m_importRegex, m_p.importRegex))
            || (mapped && !matches(rec.aks, m_p.mappedFilter, m_mappedRegex, m_p.mappedRegex))
            || (!m_p.valueText.isEmpty() && rec.value != m_value)
            || (!m_p.unitText.isEmpty() && rec.unit != m_p.unitText))
            continue;
        ++m_found;
        const QStringList fields{file.path, rec.importType == 0 ? QStringLiteral("?") : DataParser::displayName(int(rec.importType)),
                                 rec.iaks, rec.aks, rec.timestamp.toString(Qt::ISODate), valueText(rec.value), rec.unit};
        const QByteArray line = fields.join(u';').toUtf8() + '\n';
        // The result file stays open for appending during the run; a failed write loses the line.
        if (m_result.write(line) != line.size())
            LOG_OUT(Kyr::LogError, "Could not append output file %1").arg(m_p.resultFile).endl();
    }
}
