#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

struct DischargePoint
{
    float levelCm = 0.0f;
    float discharge = 0.0f;
};

// Writes the level-versus-discharge XML file atomically; on failure returns
// false with the reason in *error and leaves any existing file untouched.
bool writeDischargeFile(const QString &path, const QVector<DischargePoint> &points, const QDateTime &created,
                        QString *error);
