// links: KyrIpc quillon_trend
// quillon-points: shows what the driver wrote to its process-database store (the embedded point
// store under the project directory, or the PostgreSQL server that --connection names with its
// URI): the points with type, value and time stamp, optionally only those matching a shell-style
// pattern, or the trend rows of one point; with --png the chart of the trend window, drawn
// offscreen into a picture.

#include "KyrIpc/Message.h"
#include "KyrIpc/PostgresStore.h"
#include "KyrIpc/PostgresUri.h"
#include "KyrIpc/StoreFile.h"
#include "trend/SqliteTrendReader.h"
#include "trend/TrendChart.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>

#include <memory>

#include <sys/stat.h>

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

// The store the arguments name: the server of a PostgreSQL URI given as the connection, else the
// project directory's file. Null (with the reason written) when it cannot be opened.
std::unique_ptr<Orvane::StoreDatabase> openStore(const QString &connection, const QString &project, QTextStream &err)
{
    if (Orvane::PostgresUri::isPostgresUri(connection)) {
        auto server = std::make_unique<Orvane::PostgresStore>(connection);
        if (server->connect())
            return server;
        err << "Cannot connect to " << server->location() << ": " << server->errorText() << Qt::endl;
        return nullptr;
    }
    const QString path = Orvane::StoreFile::pathForProject(project);
    if (!QFileInfo::exists(path)) {
        err << "No point store at " << path << Qt::endl;
        return nullptr;
    }
    auto file = std::make_unique<Orvane::StoreFile>(path, true);
    if (file->isOpen())
        return file;
    err << "Cannot open " << path << ": " << file->errorText() << Qt::endl;
    return nullptr;
}

constexpr QSize kPictureSize(1400, 700);

// An ISO 8601 time ("2024-03-01T00:00", local time, or with "Z" or an offset) as milliseconds;
// an empty text gives whenEmpty.
bool readTime(const QString &text, qint64 whenEmpty, qint64 *ms)
{
    if (text.isEmpty()) {
        *ms = whenEmpty;
        return true;
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    *ms = time.toMSecsSinceEpoch();
    return time.isValid();
}

// The options of the chart picture.
struct ChartOptions
{
    QCommandLineOption png{QStringLiteral("png"),
                           QStringLiteral("Draw the trend of the point (-t, repeated for several points with the "
                                          "same unit) as a chart into this PNG file."),
                           QStringLiteral("file")};
    QCommandLineOption from{QStringLiteral("from"),
                            QStringLiteral("With --png: the chart begins at this ISO 8601 time (local time unless "
                                           "it names Z or an offset); default: the first row."),
                            QStringLiteral("time")};
    QCommandLineOption to{QStringLiteral("to"),
                          QStringLiteral("With --png: the chart ends at this time; default: the last row."),
                          QStringLiteral("time")};
};

// The trend window's chart of the points (those with the first one's unit) into a PNG file.
int writePng(const QString &storePath, const QStringList &points, const QString &from, const QString &to,
             const QString &file)
{
    QTextStream err(stderr);
    if (points.isEmpty()) {
        err << "--png needs the point: -t POINT" << Qt::endl;
        return 2;
    }
    qint64 fromMs = 0;
    qint64 toMs = 0;
    const bool fromRead = readTime(from, TrendChart::kOpenStart, &fromMs);
    if (!fromRead || !readTime(to, TrendChart::kOpenEnd, &toMs)) {
        err << "Cannot read the time " << (fromRead ? to : from)
            << ": use ISO 8601, for example 2024-03-01T00:00 (local time) or 2024-03-01T00:00Z" << Qt::endl;
        return 2;
    }
    SqliteTrendReader reader(storePath);
    const TrendCurves curves = TrendCurves::read(reader, points, fromMs, toMs);
    if (!curves.error.isEmpty()) {
        err << curves.error << Qt::endl;
        return 1;
    }
    for (const QString &point : curves.otherUnit)
        err << "Left out for another unit: " << point << Qt::endl;
    if (!TrendChart::savePng(TrendChart::build(curves, fromMs, toMs), kPictureSize, file)) {
        err << "Cannot write " << file << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // What the tool creates (store, history and temporary files, exports) is its owner's only.
    ::umask(S_IRWXG | S_IRWXO);
    // The tool never shows a window: the chart of --png is drawn offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-points"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the points of the process-database store of a project (name, type, value, time, "
        "connection), or the trend rows of one point (time, milliseconds, value, state, point). "
        "Columns are separated by tabs. With a PostgreSQL URI as the connection, the store on that "
        "server is read and no project is given."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("project"), QStringLiteral("The project directory."));
    parser.addPositionalArgument(QStringLiteral("pattern"),
                                 QStringLiteral("Only points whose name matches this shell-style pattern "
                                                "(case-sensitive, for example 'System:Driver:*')."),
                                 QStringLiteral("[pattern]"));
    const QCommandLineOption trendOption({QStringLiteral("t"), QStringLiteral("trend")},
                                         QStringLiteral("List the trend rows of this point."), QStringLiteral("point"));
    const QCommandLineOption connectionOption({QStringLiteral("c"), QStringLiteral("connection")},
                                              QStringLiteral("Only this DMS or PDBS connection string; a "
                                                             "PostgreSQL URI reads that server's store."),
                                              QStringLiteral("connection"));
    parser.addOption(trendOption);
    parser.addOption(connectionOption);
    const ChartOptions chart;
    parser.addOptions({chart.png, chart.from, chart.to});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    QString connection = parser.value(connectionOption);
    const bool onServer = Orvane::PostgresUri::isPostgresUri(connection);
    QStringList args = parser.positionalArguments();
    if (onServer)
        args.prepend(QString()); // no project
    if (args.isEmpty() || args.size() > 2) {
        err << parser.helpText();
        return 2;
    }
    const std::unique_ptr<Orvane::StoreDatabase> store = openStore(connection, args.at(0), err);
    if (!store)
        return 1;
    if (onServer)
        connection = Orvane::PostgresUri::withoutPassword(connection); // as the rows name it

    if (parser.isSet(trendOption)) {
        for (const auto &row : store->trendRows(parser.value(trendOption), connection))
            out << timeText(row.timeMs) << '\t' << row.timeMs << '\t' << QString::number(row.value, 'g', 15) << '\t'
                << row.state << '\t' << row.point << '\n';
        return 0;
    }
    for (const auto &row : store->points(connection, args.value(1)))
        out << row.name << '\t' << Orvane::pointTypeName(row.type) << '\t' << valueText(row.value, row.type) << '\t'
            << timeText(row.stampMs) << '\t' << row.connection << '\n';
    return 0;
}
