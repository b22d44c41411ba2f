#include "records.h"

void registerNexilMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<DeviceType>("DeviceType");
        qRegisterMetaType<ValueType>("ValueType");
        qRegisterMetaType<ChannelCode>("ChannelCode");
        qRegisterMetaType<DeviceError>("DeviceError");
        qRegisterMetaType<DeviceHeader>("DeviceHeader");
        qRegisterMetaType<DeviceIdentity>("DeviceIdentity");
        qRegisterMetaType<InstantValue>("InstantValue");
        qRegisterMetaType<InstantData>("InstantData");
        qRegisterMetaType<SetupParameters>("SetupParameters");
        qRegisterMetaType<ChannelNames>("ChannelNames");
        qRegisterMetaType<ChannelCalibrations>("ChannelCalibrations");
        qRegisterMetaType<AlarmEvent>("AlarmEvent");
        qRegisterMetaType<AlarmParameters>("AlarmParameters");
        qRegisterMetaType<FileInformation>("FileInformation");
        qRegisterMetaType<FileInformations>("FileInformations");
        qRegisterMetaType<DataLine>("DataLine");
        qRegisterMetaType<DataFile>("DataFile");
        qRegisterMetaType<QList<DataFile>>("QList<DataFile>");
        return true;
    }();
    Q_UNUSED(registered);
}
