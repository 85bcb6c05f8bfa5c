#pragma once
// Collects the lines the logger finishes while it lives, from any thread, for the tests to look
// at: by level and text, as a list, or one level's lines joined for a failure message.

#include "KyrLogger/Logger.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <algorithm>

class LogCapture
{
public:
    struct Line
    {
        quint8 level;
        QString text; // as the logger wrote it, with the source location
    };

    LogCapture()
    {
        m_id = Kyr::Logger::instance().addListener([this](quint8 level, const QString &text) {
            QMutexLocker lock(&m_mutex);
            m_lines.append({level, text});
        });
    }
    ~LogCapture() { Kyr::Logger::instance().removeListener(m_id); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Line> lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

    // Lines of this level that contain the text.
    int count(quint8 level, const QString &text) const { return countLines(text, level); }

    // Lines of any level that contain the text.
    int count(const QString &text) const { return countLines(text, -1); }

    // The lines of one level, one per text line.
    QString joined(quint8 level) const
    {
        QStringList texts;
        for (const Line &line : lines()) {
            if (line.level == level)
                texts.append(line.text);
        }
        return texts.join(u'\n');
    }

private:
    int countLines(const QString &text, int level) const
    {
        const QList<Line> all = lines();
        return int(std::count_if(all.cbegin(), all.cend(),
                                 [&](const Line &l) { return (level < 0 || l.level == level) && l.text.contains(text); }));
    }

    mutable QMutex m_mutex;
    QList<Line> m_lines;
    int m_id = 0;
};
