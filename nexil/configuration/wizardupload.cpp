#include "nexil/configuration/wizardupload.h"

#include "nexil/protocol/nexil.h"

using setupwizard::SendChoice;
using setupwizard::Upload;

WizardUpload::WizardUpload(Nexil *nexil, QObject *parent) : QObject(parent), m_nexil(nexil)
{
    connect(m_nexil, &Nexil::wrongPassword, this, [this] {
        if (!m_sending || m_current < 0 || m_current >= m_plan.size())
            return;
        m_check.sent(recordOf(m_plan.at(m_current)), UploadCheck::Outcome::Refused);
        m_sending = false;
        emit refused();
    });
}

QString WizardUpload::recordOf(Upload upload)
{
    switch (upload) {
    case Upload::Names:
        return ConfigSnapshot::namesKey();
    case Upload::Calibrations:
        return ConfigSnapshot::calibrationsKey();
    case Upload::Setup:
        return ConfigSnapshot::setupKey();
    case Upload::Alarms:
        return ConfigSnapshot::alarmsKey();
    case Upload::None:
        break;
    }
    return QString();
}

QList<Upload> WizardUpload::plan(SendChoice choice, const ConfigSnapshot &working, bool everything) const
{
    QList<Upload> all;
    switch (choice) {
    case SendChoice::All:
        all = {Upload::Names, Upload::Calibrations, Upload::Setup, Upload::Alarms};
        break;
    case SendChoice::Calibrations:
        all = {Upload::Calibrations};
        break;
    case SendChoice::Alarms:
        all = {Upload::Alarms};
        break;
    case SendChoice::None:
        break;
    }
    QList<Upload> out;
    for (const Upload u : qAsConst(all)) {
        const QString key = recordOf(u);
        if (everything || !m_read.has(key) || m_read.record(key) != working.record(key))
            out << u;
    }
    return out;
}

QStringList WizardUpload::changes(const ConfigSnapshot &working, const QList<Upload> &uploads) const
{
    QStringList out;
    for (const Upload u : uploads) {
        const QString key = recordOf(u);
        for (const ConfigChange &c : ConfigSnapshot::diffRecord(key, m_read.record(key), working.record(key)))
            out << c.describe();
    }
    return out;
}

Upload WizardUpload::start(const QList<Upload> &uploads, const ConfigSnapshot &working)
{
    QStringList keys;
    for (const Upload u : uploads)
        keys << recordOf(u);
    m_check = UploadCheck();
    m_check.setMeant(working.only(keys));
    m_plan = uploads;
    m_current = 0;
    m_sending = !m_plan.isEmpty();
    return m_sending ? m_plan.first() : Upload::None;
}

Upload WizardUpload::acknowledged()
{
    if (!m_sending)
        return Upload::None;
    m_check.sent(recordOf(m_plan.at(m_current)));
    ++m_current;
    if (m_current >= m_plan.size()) {
        m_sending = false;
        return Upload::None;
    }
    return m_plan.at(m_current);
}

void WizardUpload::unanswered()
{
    if (m_sending && m_current >= 0 && m_current < m_plan.size())
        m_check.sent(recordOf(m_plan.at(m_current)), UploadCheck::Outcome::NotAnswered);
    m_sending = false;
}

void WizardUpload::readBack()
{
    disconnectAll();
    m_back = ConfigSnapshot();
    // One after the other, as the wizard read them; a failure ends the read
    // with what came so far.
    m_connections = {
        connect(m_nexil, &Nexil::setupParameters, this,
                [this](const SetupParameters &r) {
                    m_back.setSetup(r);
                    m_nexil->getChannelNames();
                }),
        connect(m_nexil, &Nexil::channelNames, this,
                [this](const ChannelNames &r) {
                    m_back.setNames(r);
                    m_nexil->getChannelCalibrations();
                }),
        connect(m_nexil, &Nexil::channelCalibrations, this,
                [this](const ChannelCalibrations &r) {
                    m_back.setCalibrations(r);
                    m_nexil->getAlarmParameters();
                }),
        connect(m_nexil, &Nexil::alarmParameters, this,
                [this](const AlarmParameters &r) {
                    m_back.setAlarms(r);
                    finishReadBack();
                }),
        connect(m_nexil, &Nexil::error, this, [this](int, const QString &) { finishReadBack(); }),
    };
    m_nexil->cancelLastProcess();
    m_nexil->getSetupParemeters();
}

void WizardUpload::finishReadBack()
{
    disconnectAll();
    m_nexil->cancelLastProcess();
    m_check.setReadBack(m_back);
    emit checked(m_check);
}

void WizardUpload::disconnectAll()
{
    for (const QMetaObject::Connection &c : qAsConst(m_connections))
        disconnect(c);
    m_connections.clear();
}
