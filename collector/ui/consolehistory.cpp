#include "consolehistory.h"

#include "collectorlogging.h"
#include "store/confighistory.h"
#include "wizardhistory.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/protocol/nexil.h"

#include <QDateTime>

ConsoleHistory::ConsoleHistory(Nexil *nexil, QObject *console)
    : QObject(console), m_wizards(new WizardHistory(this))
{
    connect(nexil, &Nexil::setupParameters, this, [this](const SetupParameters &r) {
        // A read starts with the setup: what came before belongs to an earlier one.
        read = ConfigSnapshot();
        read.setSetup(r);
    });
    connect(nexil, &Nexil::channelNames, this, [this](const ChannelNames &r) { read.setNames(r); });
    connect(nexil, &Nexil::channelCalibrations, this,
            [this](const ChannelCalibrations &r) { read.setCalibrations(r); });
    connect(nexil, &Nexil::alarmParameters, this, [this](const AlarmParameters &r) {
        read.setAlarms(r);
        store();
    });
}

bool ConsoleHistory::wizardOpen() const
{
    return parent()->findChild<SetupDialog *>() != nullptr;
}

void ConsoleHistory::store()
{
    if (wizardOpen() || read.present().size() != ConfigSnapshot::keys().size())
        return;
    if (m_wizards->takeRead(read))
        return;
    const QString code =
        read.record(ConfigSnapshot::setupKey()).value(QStringLiteral("stationCode")).toString();
    const int id = WizardHistory::stationWithCode(code);
    if (id == 0)
        return;
    if (!ConfigHistory().recordRead(id, ConfigHistory::console(), ConfigHistory::localActor(), read,
                                    QDateTime::currentDateTime()))
        qCWarning(lcConsole, "could not store the configuration read of station %d", id);
}
