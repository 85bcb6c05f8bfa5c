#include "tools/ToolThread.h"

#include "tools/SourceList.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

ToolThread::ToolThread(const char *name)
    : m_name(name)
{
    moveToThread(this);
}

ToolThread::~ToolThread()
{
    LOG_OUT(Kyr::LogInfo, "%1 handler finished").arg(QString::fromLatin1(m_name)).endl();
}

void ToolThread::run()
{
    LOG_OUT(Kyr::LogInfo, "%1 handler started").arg(QString::fromLatin1(m_name)).endl();
    exec();
}

QString ToolThread::folderText(QString text)
{
    text.replace(u'\\', u'/');
    if (!text.endsWith(u'/'))
        text += u'/';
    return text;
}

void ToolThread::post()
{
    QMetaObject::invokeMethod(this, "onRun", Qt::QueuedConnection);
}

void ToolThread::onRun()
{
    m_counters = {};
    LOG_OUT(Kyr::LogInfo, "%1").arg(startLogText()).endl();
    info(startInfo());
    execute();
    const QString end = endText();
    info(end);
    LOG_OUT(Kyr::LogInfo, "%1").arg(end).endl();
    m_busy.store(false);
    emit sigRunDone(m_counters.failed + m_counters.dbFailures + m_counters.droppedRecords);
}

void ToolThread::dropped(qint64 records, const QString &owner, const QString &reason)
{
    LOG_OUT(Kyr::LogError, "Dropped %1 records of %2: %3").arg(records).arg(Kyr::logExcerpt(owner)).arg(reason).endl();
    m_counters.droppedRecords += records;
}

void ToolThread::walkSources(const QString &sources, SourceWalk &walk, SourceHandler &handler)
{
    const QStringList folders = SourceList::folders(sources);
    if (folders.isEmpty()) {
        const QString error = SourceList::noFolderText(sources);
        LOG_OUT(Kyr::LogError, "%1").arg(error).endl();
        info(error);
        ++m_counters.failed;
        return;
    }
    for (const QString &folder : folders)
        walk.walk(folder, handler);
}
