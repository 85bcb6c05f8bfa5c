// links: KyrIpc
// quillon-points: shows what the driver wrote to its process-database store (the embedded point
// store under the project directory, or the PostgreSQL server that --connection names with its
// URI): the points with type, value and time stamp, optionally only those matching a shell-style
// pattern, or the trend rows of one point.

#include "KyrIpc/Message.h"
#include "KyrIpc/PostgresStore.h"
#include "KyrIpc/PostgresUri.h"
#include "KyrIpc/StoreFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>

#include <memory>

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
