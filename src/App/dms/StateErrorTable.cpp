#include "dms/StateErrorTable.h"

#include <QMutexLocker>

void StateErrorTable::clear()
{
    QMutexLocker lock(&m_mutex);
    m_states.clear();
}

void StateErrorTable::insert(const QString &aks, qint32 state)
{
    QMutexLocker lock(&m_mutex);
    m_states.insert(aks, state);
}

bool StateErrorTable::contains(const QString &aks) const
{
    QMutexLocker lock(&m_mutex);
    return m_states.contains(aks);
}

qint32 StateErrorTable::state(const QString &aks) const
{
    QMutexLocker lock(&m_mutex);
    return m_states.value(aks, 0);
}

int StateErrorTable::size() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_states.size());
}

StateErrorTable::Change StateErrorTable::evaluate(const QString &aks, int values, int badValues,
                                                  qint32 lastBadState, int maxPercent)
{
    if (values <= 0)
        return Change::None;
    const int percent = (badValues * 100) / values;
    QMutexLocker lock(&m_mutex);
    if (percent < maxPercent)
        return m_states.remove(aks) > 0 ? Change::Recovered : Change::None;
    const bool known = m_states.contains(aks);
    m_states.insert(aks, lastBadState);
    return known ? Change::StillInError : Change::Entered;
}

QStringList StateErrorTable::stateErrorLines() const
{
    QStringList lines;
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_states.constBegin(); it != m_states.constEnd(); ++it) {
            QString line = it.key() + QStringLiteral(" State ") + QString::number(*it);
            const QString text = stateText(*it);
            if (!text.isEmpty())
                line += QStringLiteral(" - ") + text;
            lines.append(line);
        }
    }
    lines.sort(Qt::CaseSensitive);
    return lines;
}

QString StateErrorTable::stateText(qint32 code)
{
    if (code < 1000) {
        // M-Bus meter error bits, in bit order; bit value 4 has no text.
        static const struct { qint32 bit; const char *text; } bits[] = {
            {1, "M-Bus device driver not existing. "},
            {2, "M-Bus device driver defective. "},
            {8, "There are more values defined in the M-Bus device driver as delivered by the meter. "},
            {16, "Error in analog value. "},
            {32, "Wrong address response to REQ_UD2. "},
            {64, "There is no reply from the meter. "},
            {128, "The meter response can not be decoded. "},
        };
        QString text;
        for (const auto &b : bits) {
            if (code & b.bit)
                text += QLatin1String(b.text);
        }
        return text;
    }
    switch (code) {
    case 1001: return QStringLiteral("Unusable quantity.");
    case 1002: return QStringLiteral("Unusable quantity (STS).");
    case 2001: case 4001: return QStringLiteral("Substitute value.");
    case 2002: case 4002: return QStringLiteral("Temporary value.");
    case 2003: case 4003: return QStringLiteral("Invalid value.");
    case 2004: case 4004: return QStringLiteral("Missing value.");
    case 3001: case 6001: return QStringLiteral("Invalid state.");
    case 5001: return QStringLiteral("Invalid measuring period.");
    case 7001: return QStringLiteral("Unknown value.");
    default: return QString();
    }
}
