// links: KyrIpc
// quillon-points: shows what the driver wrote to its process-database store (the embedded point
// store under the project directory): the points with type, value and time stamp, optionally
// only those matching a shell-style pattern, or the trend rows of one point.

#include "KyrIpc/StoreFile.h"
#include "KyrIpc/Message.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>

namespace {

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(Qt::ISODateWithMs);
}

QString valueText(const QVariant &value, int type)
{
    switch (type) {
    case Orvane::BIT: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Orvane::FLT: return QString::number(value.toDouble(), 'g', 15);
    default: return value.toString();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-points"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the points of the process-database store of a project (name, type, value, time, "
        "connection), or the trend rows of one point (time, milliseconds, value, state, point). "
        "Columns are separated by tabs."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("project"), QStringLiteral("The project directory."));
    parser.addPositionalArgument(QStringLiteral("pattern"),
                                 QStringLiteral("Only points whose name matches this shell-style pattern "
                                                "(case-sensitive, for example 'System:Driver:*')."),
                                 QStringLiteral("[pattern]"));
    const QCommandLineOption trendOption({QStringLiteral("t"), QStringLiteral("trend")},
                                         QStringLiteral("List the trend rows of this point."), QStringLiteral("point"));
    const QCommandLineOption connectionOption({QStringLiteral("c"), QStringLiteral("connection")},
                                              QStringLiteral("Only this DMS or PDBS connection string."),
                                              QStringLiteral("connection"));
    parser.addOption(trendOption);
    parser.addOption(connectionOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty() || args.size() > 2) {
        err << parser.helpText();
        return 2;
    }
    const QString path = Orvane::StoreFile::pathForProject(args.at(0));
    if (!QFileInfo::exists(path)) {
        err << "No point store at " << path << Qt::endl;
        return 1;
    }
    const Orvane::StoreFile store(path, true);
    if (!store.isOpen()) {
        err << "Cannot open " << path << ": " << store.errorText() << Qt::endl;
        return 1;
    }

    const QString connection = parser.value(connectionOption);
    if (parser.isSet(trendOption)) {
        for (const auto &row : store.trendRows(parser.value(trendOption), connection))
            out << timeText(row.timeMs) << '\t' << row.timeMs << '\t' << QString::number(row.value, 'g', 15) << '\t'
                << row.state << '\t' << row.point << '\n';
        return 0;
    }
    for (const auto &row : store.points(connection, args.value(1)))
        out << row.name << '\t' << Orvane::pointTypeName(row.type) << '\t' << valueText(row.value, row.type) << '\t'
            << timeText(row.stampMs) << '\t' << row.connection << '\n';
    return 0;
}
