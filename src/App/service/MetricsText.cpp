#include "service/MetricsText.h"

#include "service/ServiceCounters.h"

namespace MetricsText {

namespace {
// A label value: backslash, double quote and line feed escaped.
QByteArray labelValue(const QString &text)
{
    QByteArray value = text.toUtf8();
    value.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return value;
}

void family(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(QByteArray &out, const char *name, double value, const QByteArray &labels = {})
{
    out += name + (labels.isEmpty() ? QByteArray() : '{' + labels + '}') + ' ' + QByteArray::number(value, 'g', 15) + '\n';
}
} // namespace

QByteArray render(const ServiceCounters &c, const QString &applicationName, const QString &version)
{
    QByteArray out;
    family(out, "quillon_mail_checks_total", "counter", "Mail checks that ran since the start.");
    sample(out, "quillon_mail_checks_total", double(c.mailChecks));
    family(out, "quillon_mails_total", "counter", "Mails handled since the start, by result.");
    sample(out, "quillon_mails_total", double(c.mailsOk), "result=\"ok\"");
    sample(out, "quillon_mails_total", double(c.mailsFailed), "result=\"failed\"");
    family(out, "quillon_values_written_total", "counter", "Values written to the DMS or the PDBS since the start.");
    sample(out, "quillon_values_written_total", double(c.valuesWritten));
    family(out, "quillon_points_created_total", "counter", "Data points created since the start.");
    sample(out, "quillon_points_created_total", double(c.pointsCreated));
    family(out, "quillon_last_check_timestamp_seconds", "gauge", "End of the last mail check that ran (0: none yet).");
    sample(out, "quillon_last_check_timestamp_seconds", double(c.lastCheckEndMs) / 1000.0);
    family(out, "quillon_last_check_duration_seconds", "gauge", "Duration of the last mail check that ran.");
    sample(out, "quillon_last_check_duration_seconds", double(c.lastCheckDurationMs) / 1000.0);
    family(out, "quillon_dms_up", "gauge", "1 while the DMS link is ready.");
    sample(out, "quillon_dms_up", c.dmsUp ? 1 : 0);
    family(out, "quillon_reports_sent_total", "counter", "Status reports delivered since the start.");
    sample(out, "quillon_reports_sent_total", double(c.reportsSent));
    family(out, "quillon_build_info", "gauge", "The running program's name and version.");
    sample(out, "quillon_build_info", 1,
           "application=\"" + labelValue(applicationName) + "\",version=\"" + labelValue(version) + '"');
    return out;
}

} // namespace MetricsText
