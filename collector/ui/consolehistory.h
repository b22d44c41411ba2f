#pragma once

#include "nexil/configuration/configsnapshot.h"

#include <QObject>

class Nexil;
class WizardHistory;

// Keeps what the manual console reads (setup, channel names, calibrations,
// then alarms) in the configuration history of the station whose code the
// device reports. What its setup wizards read and upload is kept by the
// wizard recorder it owns; a read that completes a late wizard upload is
// recorded with that upload, not as the console's.
class ConsoleHistory : public QObject
{
    Q_OBJECT
public:
    // `console` is the parent; its setup wizards are its children.
    ConsoleHistory(Nexil *nexil, QObject *console);

    WizardHistory *wizards() const { return m_wizards; }

private:
    bool wizardOpen() const;
    void store();

    ConfigSnapshot read;
    WizardHistory *m_wizards;
};
