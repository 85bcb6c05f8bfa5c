#pragma once
// Collects the logger's lines while it exists (from any thread).

#include "KyrLogger/Logger.h"

#include <QMutex>
#include <QStringList>

class LogCapture
{
public:
    LogCapture()
    {
        m_id = Kyr::Logger::instance().addListener([this](quint8 level, const QString &line) {
            QMutexLocker lock(&m_mutex);
            m_lines.append(Kyr::Logger::levelName(level) + u'|' + line);
        });
    }
    ~LogCapture() { Kyr::Logger::instance().removeListener(m_id); }

    // Lines of this level whose text contains the given text.
    int count(quint8 level, const QString &text) const
    {
        QMutexLocker lock(&m_mutex);
        const QString prefix = Kyr::Logger::levelName(level) + u'|';
        int n = 0;
        for (const QString &line : m_lines)
            n += line.startsWith(prefix) && line.contains(text) ? 1 : 0;
        return n;
    }
    int count(const QString &text) const
    {
        QMutexLocker lock(&m_mutex);
        int n = 0;
        for (const QString &line : m_lines)
            n += line.contains(text) ? 1 : 0;
        return n;
    }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
    int m_id = 0;
};
