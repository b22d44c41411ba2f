#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/uploadcheck.h"

#include <QObject>
#include <QString>

class SetupDialog;

// Keeps what a setup wizard reads and uploads in the configuration history
// of the station whose code the device reports, with the operator here as
// the actor. Lives as long as its wizard.
class WizardHistory : public QObject
{
    Q_OBJECT
public:
    explicit WizardHistory(SetupDialog *wizard);

    // The store's station with this code; 0 when there is none.
    static int stationWithCode(const QString &code);

private:
    void onRead(const ConfigSnapshot &read);
    void onUpload(const UploadCheck &check);

    QString code;
};
