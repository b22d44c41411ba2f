#pragma once

#include "collection/collectionoptions.h"
#include "store/dbstation.h"

#include <QObject>

// The controller's line to one worker. A command for one station goes down
// its line alone: offered to every worker, each of N stations' commands
// would wake all N threads.
class WorkerLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void startCollecting(int id);
    void pauseCollecting(int id);
    void leaseLost(int id, QString holder);
    void stopCollecting(int id);
    void stationChanged(DBStation station);
    void updateStationData(int id);
    void optionsChanged(CollectionOptions options);
};
