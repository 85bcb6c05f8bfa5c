#include "tools/ToolThread.h"

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

void ToolThread::release(qint64 failed)
{
    m_busy.store(false);
    emit sigRunDone(failed);
}

void ToolThread::post(const char *slot)
{
    QMetaObject::invokeMethod(this, slot, Qt::QueuedConnection);
}
