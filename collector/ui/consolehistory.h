#pragma once

#include "nexil/configuration/configsnapshot.h"

#include <QObject>

class Nexil;

// Keeps what the manual console reads (setup, channel names, calibrations,
// then alarms) in the configuration history of the station whose code the
// device reports. While a setup wizard of the console runs, the wizard
// keeps its own records.
class ConsoleHistory : public QObject
{
    Q_OBJECT
public:
    // `console` is the parent; its setup wizards are its children.
    ConsoleHistory(Nexil *nexil, QObject *console);

private:
    bool wizardOpen() const;
    void store();

    ConfigSnapshot read;
};
