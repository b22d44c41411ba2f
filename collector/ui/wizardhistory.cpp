#include "wizardhistory.h"

#include "collectorlogging.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"

#include "nexil/configuration/setupdialog.h"

#include <QDateTime>

WizardHistory::WizardHistory(SetupDialog *wizard) : QObject(wizard)
{
    connect(wizard, &SetupDialog::configurationRead, this, &WizardHistory::onRead);
    connect(wizard, &SetupDialog::uploadChecked, this, &WizardHistory::onUpload);
}

int WizardHistory::stationWithCode(const QString &code)
{
    if (code.isEmpty())
        return 0;
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    for (const DBStation &s : stations)
        if (s.code == code)
            return s.id;
    return 0;
}

void WizardHistory::onRead(const ConfigSnapshot &read)
{
    // The code as the device reported it before anything was changed.
    code = read.record(ConfigSnapshot::setupKey()).value(QStringLiteral("stationCode")).toString();
    const int id = stationWithCode(code);
    if (id == 0)
        return;
    if (!ConfigHistory().recordRead(id, ConfigHistory::wizard(), ConfigHistory::localActor(), read,
                                    QDateTime::currentDateTime()))
        qCWarning(lcConsole, "could not store the configuration read of station %d", id);
}

void WizardHistory::onUpload(const UploadCheck &check)
{
    const int id = stationWithCode(code);
    if (id == 0)
        return;
    if (!ConfigHistory().recordUpload(id, ConfigHistory::wizard(), ConfigHistory::localActor(), check,
                                      QDateTime::currentDateTime()))
        qCWarning(lcConsole, "could not store the upload to station %d", id);
}
