#pragma once

// The station editor's rules, kept apart from its widgets: the checks made
// before a station is saved, the notification address format and the way a
// coordinate is stored.

#include "store/dbstation.h"

#include <QString>
#include <QStringList>

struct StationCheck
{
    // The form field a failed check points at.
    enum Field { None, DeviceType, Name, Code, Ip, Port, Period, Path };
    Field field = None;
    QString message; // empty when the station can be saved

    bool ok() const { return field == None; }
};

// Checks a station read from the form, in the order the user is told about
// them, and stops at the first failure. Texts are taken with their blanks
// simplified; on the way an empty title becomes the name and, once every
// check passed, an empty file name becomes "<code>-<device type>".
// `loaded`: the station as the form was filled with it (an edited one); a
// field still holding what was loaded is not checked, so an edit never
// demands a field the operator left alone. `others`: the stored stations,
// whose codes a new or changed code must not take.
StationCheck checkStation(DBStation &station, const DBStation *loaded = nullptr,
                          const QList<DBStation> &others = {});

// The device models the editor offers, in the order shown.
QStringList deviceModels();

bool isValidEmailAddress(const QString &address);

// Why `address` cannot join `list`, or an empty text when it can.
QString emailAddressProblem(const QString &address, const QStringList &list);

// "41.1,29.05" -> 41.1 and 29.05; a missing or unreadable part reads as 0.
void parseCoordinate(const QString &coordinate, double *latitude, double *longitude);
// Both numbers in fixed notation with six decimals, comma-separated.
QString formatCoordinate(double latitude, double longitude);
