#pragma once
// The instance's counters in the Prometheus text exposition format (version 0.0.4).

#include <QByteArray>
#include <QString>

class ServiceCounters;

namespace MetricsText {

QByteArray render(const ServiceCounters &counters, const QString &applicationName, const QString &version);

} // namespace MetricsText
