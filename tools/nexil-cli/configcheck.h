#pragma once

// The values an upload file may give, as the setup wizard allows them: a
// value the device cannot take is named before anything is sent.

#include <QJsonObject>
#include <QStringList>

namespace configcheck {

// Members of `config` (sections as `read` prints them) outside their range,
// one line each ("setupParameters.dayStart: 99 is not within 0..23").
// `device` holds the device's current records in the same shape: a value
// equal to the device's own goes back unchanged and is not checked.
QStringList outOfRange(const QJsonObject &config, const QJsonObject &device);

} // namespace configcheck
