#pragma once

#include <QString>

// A mail address with an optional display name.
class EmailAddress
{
public:
    EmailAddress() = default;
    EmailAddress(const QString &address, const QString &name = QString()) : m_address(address), m_name(name) {}

    QString address() const { return m_address; }
    QString name() const { return m_name; }

private:
    QString m_address;
    QString m_name;
};
