#include "tools/SearchHandler.h"

#include "tools/CsvLine.h"

#include "KyrLogger/Logger.h"

#include <cmath>

SearchHandler::SearchHandler(const DmsConfig &naming)
    : ToolJob("SearchHandler"), m_naming(naming)
{
}

QString SearchHandler::valueText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(value, 'g', 6);
}

QString SearchHandler::startLogText() const
{
    return QStringLiteral("Start search, source %1 from %2 to %3")
        .arg(m_params.sources, m_params.from.toString(Qt::ISODate), m_params.to.toString(Qt::ISODate));
}

QString SearchHandler::endText() const
{
    return QStringLiteral("== End search, %1 files, %2 failed, %3 skipped; %4 records (%5 found, %6 ignored)")
        .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.skipped)
        .arg(m_counters.records).arg(m_found).arg(m_ignored);
}

void SearchHandler::execute()
{
    m_ignored = 0;
    m_found = 0;
    m_naming.reset();
    m_importRegex.setPattern(m_params.importRegex ? m_params.importFilter : QString());
    m_mappedRegex.setPattern(m_params.mappedRegex ? m_params.mappedFilter : QString());
    m_value = m_params.valueText.toDouble(); // not a number: 0

    m_result.setFileName(m_params.resultFile);
    if (!m_result.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)
        || m_result.write("Filename;Format;ImportRds;DmsRds;Timestamp;Value;Unit\n") < 0) {
        LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(m_params.resultFile).endl();
    } else {
        SourceWalk walk(SourceWalk::Tool::Search, m_counters, [this](const QString &text) { info(text); });
        walk.setNameFilter(m_params.fileFilter);
        walkSources(m_params.sources, walk, *this);
    }
    m_result.close();
}

bool SearchHandler::matches(const QString &text, const QString &filter, const QRegularExpression &regex, bool useRegex) const
{
    return useRegex ? regex.match(text).hasMatch() : text == filter;
}

bool SearchHandler::passesFilters(const DataParser::ValueRec &rec) const
{
    const SearchParams &p = m_params;
    return (p.importFilter.isEmpty() || matches(rec.iaks, p.importFilter, m_importRegex, p.importRegex))
           && (p.mappedFilter.isEmpty() || matches(rec.aks, p.mappedFilter, m_mappedRegex, p.mappedRegex))
           && (p.valueText.isEmpty() || rec.value == m_value) && (p.unitText.isEmpty() || rec.unit == p.unitText);
}

void SearchHandler::fileStarted(const SourceFile &)
{
    m_file = FileMark{true, m_result.pos(), m_found, m_ignored};
}

void SearchHandler::records(const SourceFile &file, RecordSink::Batch &batch)
{
    if (batch.isEmpty())
        return;
    m_file.records += batch.size();
    if (!m_file.typeDecided) {
        const QList<int> &types = m_params.importTypes;
        m_file.typeDecided = true;
        m_file.typeIgnored = !types.contains(0) && !types.contains(int(batch.first().importType));
    }
    if (m_file.typeIgnored) {
        m_ignored += batch.size();
        return;
    }
    for (DataParser::ValueRec &rec : batch)
        searchRecord(file, rec);
}

// A file that did not parse whole shows nothing: its lines and counts are taken back.
void SearchHandler::fileEnded(const SourceFile &file)
{
    if (!m_file.started)
        return;
    if (file.outcome == SourceFile::Outcome::Ok) {
        m_counters.records += m_file.records;
    } else {
        m_found = m_file.found;
        m_ignored = m_file.ignored;
        if (m_result.isOpen() && (!m_result.flush() || !m_result.resize(m_file.resultPos) || !m_result.seek(m_file.resultPos)))
            LOG_OUT(Kyr::LogError, "Could not append output file %1").arg(m_params.resultFile).endl();
    }
    m_file = FileMark();
}

void SearchHandler::searchRecord(const SourceFile &file, DataParser::ValueRec &rec)
{
    const bool mapped = !m_params.mappedFilter.isEmpty();
    if (!m_naming.applyOptions(rec))
        rec.aks.clear();
    else if (mapped)
        m_naming.map(rec);

    if (rec.iaks.isEmpty() || (m_params.from.isValid() && rec.timestamp < m_params.from)
        || (m_params.to.isValid() && rec.timestamp > m_params.to)) {
        ++m_ignored;
        return;
    }
    if (!passesFilters(rec))
        return;
    ++m_found;
    const QStringList fields{file.path, rec.importType == 0 ? QStringLiteral("?") : DataParser::displayName(int(rec.importType)),
                             rec.iaks, rec.aks, rec.timestamp.toString(Qt::ISODate), valueText(rec.value), rec.unit};
    const QByteArray line = CsvLine::join(fields).toUtf8();
    // The result file stays open for appending during the run; a failed write loses the line.
    if (m_result.write(line) != line.size()) {
        LOG_OUT(Kyr::LogError, "Could not append output file %1").arg(m_params.resultFile).endl();
        dropped(1, QStringLiteral("a hit in ") + file.path, QStringLiteral("result line not written"));
    }
}
