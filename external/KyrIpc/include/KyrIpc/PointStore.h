#pragma once
// The embedded point store that serves every DmsAccess, DmsControl and PdbsAccess of this
// process. One store per connection string: all connections naming the same string share it.
// Points keep their type, value and time stamp; with ORVANE_CURRENT_PROJECT_LOCATION set when the
// store is first opened, points and trend rows are kept in "dms/points.sqlite" below the project
// directory, so that a restart finds them again (without it the store lives in memory only). A file
// that cannot be opened is an error: every connection to the store is refused with
// StoreUnavailable and openError() tells why; the next connection after all have gone tries again.
// Reads are answered from memory; a thread of the store writes the changes to the file (see
// StoreWriter), so a write answered Positive is not yet in the file: waitUntilCommitted() is the
// barrier after which it is. Non-finite numbers (NaN, infinities) are refused with InvalidValue.
// A new store starts as a running DMS does: "System:Prog:DMS_UP" true, and
// "System:Prog:WatchDog:Period" (DWS, 20 seconds) when it does not exist yet.
//
// A PostgreSQL URI as the connection string keeps the points and trend rows on that server instead
// (PostgresStore; the rows name the connection by the URI without its password). The store's link
// follows the server: down until the writer's thread has connected and loaded the server's points,
// down while the server is away (what was written before waits in the writer and is written when
// it is back), up again then. A URI that libpq refuses makes the store unavailable.
//
// All calls are thread-safe. The test hooks at the end act as the DMS would: drop the link, stop
// answering (a started DmsControl then times out), ask the program to quit, clear DMS_UP, refuse
// writes of chosen points, fail the commits of the file.

#include "KyrIpc/Message.h"
#include "KyrIpc/StoreFile.h"
#include "KyrIpc/StoreWriter.h"

#include <QHash>
#include <QList>
#include <QRecursiveMutex>
#include <QSet>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class DmsAccess;
class PdbsAccess;

namespace Orvane {

class PointStore
{
public:
    struct Point
    {
        int type = 0;     // PointType
        QVariant value;   // bool, qint64, double or QString
        qint64 stampMs = 0;
    };
    // Result of a call on a connection that is not connected.
    static constexpr int NotConnected = -1;
    // Result of a connection to a store whose file cannot be opened.
    static constexpr int StoreUnavailable = -2;

    // The store of a connection string, opened (and loaded from its file) on first use.
    static std::shared_ptr<PointStore> forConnection(const QString &connection);
    // Restarts every store: drops all links and forgets the stores, so that the next connection
    // opens its store again from the file (written completely before).
    static void restartAll();
    // The barrier to call before anything is given up that the values came from (the mail
    // intake calls it before deleting the mails): returns when every change handed in before the
    // call has been committed to the file. False when a transaction since the previous call
    // failed (those changes are lost; *error, if given, says why) or the file could not be
    // opened. A store in memory only returns true at once.
    bool waitUntilCommitted(QString *error = nullptr);

    ~PointStore();
    PointStore(const PointStore &) = delete;
    PointStore &operator=(const PointStore &) = delete;

    QString connection() const { return m_connection; }
    // The SQLite file, empty when the store lives in memory only.
    QString filePath() const;
    // Why the store's file could not be opened; empty when it is open or there is none.
    QString openError() const { return m_openError; }

    // ---- the library's side: calls of the connections --------------------------------------
    int attach(DmsAccess *access);
    void detach(DmsAccess *access);
    int attach(PdbsAccess *access);
    void detach(PdbsAccess *access);
    bool isLinkUp() const;
    bool isAnswering() const;

    int readType(const QString &name) const;
    // Creates the point (or replaces one of another type) with a zero value. Returns 0.
    int createPoint(const QString &name, int type);
    // Writes a point of exactly this type; answers with Message::AnswerCode. Registered
    // connections receive the new value.
    int write(const QString &name, int type, const QVariant &value, qint64 stampMs);
    int read(const QString &name, int type, QVariant &value, qint64 &stampMs) const;
    // Names whose whole text matches the shell-style nameFilter (all when empty) and whose last
    // level (after the last ":") equals levelFilter (any when empty), sorted.
    QStringList enumNames(const QString &nameFilter, const QString &levelFilter) const;
    // Registers for a point's value: the access receives an answer now and every change later.
    void registerPoint(DmsAccess *access, const QString &name, int tag);
    void unregisterPoint(DmsAccess *access, const QString &name, int tag);
    int appendTrend(qint64 timeMs, double value, quint32 state, const QString &point);

    // ---- inspection --------------------------------------------------------------------------
    std::optional<Point> point(const QString &name) const;
    int registrationCount(const QString &name) const;
    QList<StoreFile::TrendRow> trendRows(const QString &point) const;
    // Transactions the file or server refused since the store opened (each one logged).
    quint64 failedTransactions() const;

    // ---- test hooks ----------------------------------------------------------------------------
    // Creates the point when missing or of another type and writes the value.
    void setPoint(const QString &name, int type, const QVariant &value);
    // Disconnects every connection (dmsDisconnected on the DMS ones) and refuses new ones.
    void dropLink();
    // Accepts connections again; asynchronous DMS connections come back by themselves.
    void restoreLink();
    // While false, a started DmsControl gets no answer and times out.
    void setAnswering(bool answering);
    // Every DmsControl on this store reports dmsSaysQuit.
    void sendQuit();
    void setDmsUp(bool up);
    // Writes (DMS and trend) of these points are refused.
    void setFailingWrites(const QStringList &points);
    // While true, every transaction of the store's file fails at its commit, as on a full disk:
    // writes are answered, and the next commit barrier reports the loss. A store in memory only
    // has no commits to fail.
    void setFailingCommits(bool failing);
    // Sends a copy of the message to every connected asynchronous DMS connection.
    void sendMessage(const Message &message);

private:
    explicit PointStore(const QString &connection);
    void openFile(const QString &project);
    void openServer();
    // The writer's news about the server: reload its points and take the link up, or take it down.
    void onServerLink(bool up);
    void startAsRunningDms();
    void store(const QString &name, const Point &point);
    void keepInMemory(const StoreFile::TrendRow &row);
    void notifyRegistrations(const QString &name, const Point &point);

    struct Registration
    {
        DmsAccess *access;
        int tag;
    };

    const QString m_connection;
    QString m_rowConnection; // the connection's name in the rows: the URI without its password
    mutable QRecursiveMutex m_mutex;
    QHash<QString, Point> m_points;
    QString m_filePath;
    QString m_openError;
    std::unique_ptr<StoreWriter> m_file; // null while the store lives in memory only
    bool m_serverLoaded = false;
    QList<StoreFile::TrendRow> m_memoryTrend; // trend rows while there is no file
    QHash<std::pair<QString, qint64>, qsizetype> m_memoryTrendIndex; // (point, time) -> row
    bool m_linkUp = true;
    bool m_answering = true;
    QSet<QString> m_failingWrites;
    QList<DmsAccess *> m_dmsAccesses;
    QList<PdbsAccess *> m_pdbsAccesses;
    QMultiHash<QString, Registration> m_registrations;
};

} // namespace Orvane
