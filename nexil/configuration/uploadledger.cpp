#include "uploadledger.h"

#include "nexil/logging.h"
#include "nexil/protocol/nexil.h"

#include <QStringList>

using setupwizard::SendChoice;
using setupwizard::Upload;

UploadLedger::UploadLedger(Nexil *nexil, QObject *parent) : QObject(parent)
{
    qRegisterMetaType<setupwizard::Upload>("setupwizard::Upload");
    connect(nexil, &Nexil::channelNamesHaveBeenLoaded, this, [this] { settle(Upload::Names, Accepted); });
    connect(nexil, &Nexil::channelCalibrationsHaveBeenLoaded, this,
            [this] { settle(Upload::Calibrations, Accepted); });
    connect(nexil, &Nexil::setupParametersHaveBeenLoaded, this, [this] { settle(Upload::Setup, Accepted); });
    connect(nexil, &Nexil::alarmParametersHaveBeenLoaded, this, [this] { settle(Upload::Alarms, Accepted); });
    connect(nexil, &Nexil::wrongPassword, this, [this] { settle(m_waiting, Refused); });
    connect(nexil, &Nexil::error, this, [this](int code, const QString &text) {
        if (code != 0)
            settle(m_waiting, Failed, text);
    });
}

void UploadLedger::plan(SendChoice choice)
{
    QList<Upload> uploads;
    for (Upload u = setupwizard::firstUpload(choice); u != Upload::None;
         u = setupwizard::nextStep(choice, u).upload)
        uploads << u;
    plan(uploads);
}

void UploadLedger::plan(const QList<Upload> &uploads)
{
    m_planned = uploads;
    m_outcomes.clear();
    m_reason.clear();
    m_waiting = Upload::None;
}

void UploadLedger::sent(Upload upload)
{
    if (upload == Upload::None)
        return;
    if (!m_planned.contains(upload))
        m_planned << upload;
    m_outcomes.insert(int(upload), Waiting);
    m_waiting = upload;
}

void UploadLedger::abandon()
{
    settle(m_waiting, Unanswered);
}

void UploadLedger::settle(Upload upload, Outcome result, const QString &reason)
{
    // Answers to anything this send is not waiting for (reads, a send of
    // another window) are not ours.
    if (upload == Upload::None || outcome(upload) != Waiting)
        return;
    qCDebug(lcConfiguration, "upload %d answered: %d", int(upload), int(result));
    m_outcomes.insert(int(upload), result);
    if (!reason.isEmpty())
        m_reason = reason;
    if (m_waiting == upload)
        m_waiting = Upload::None;
    emit answered(upload, result);
}

QList<Upload> UploadLedger::accepted() const
{
    QList<Upload> taken;
    for (Upload u : m_planned) {
        if (outcome(u) == Accepted)
            taken << u;
    }
    return taken;
}

bool UploadLedger::anySent() const
{
    for (Upload u : m_planned) {
        if (outcome(u) != NotSent)
            return true;
    }
    return false;
}

bool UploadLedger::complete() const
{
    return !m_planned.isEmpty() && accepted().size() == m_planned.size();
}

QString UploadLedger::names(Outcome wanted) const
{
    QStringList list;
    for (Upload u : m_planned) {
        if (outcome(u) == wanted)
            list << recordName(u);
    }
    return list.join(QStringLiteral(", "));
}

QString UploadLedger::report() const
{
    QStringList lines;
    const QString taken = names(Accepted);
    if (!taken.isEmpty())
        lines << tr("Cihazın kabul ettiği kayıtlar: %1.").arg(taken);
    else if (anySent())
        lines << tr("Cihaz hiçbir kaydı kabul etmedi.");
    for (Upload u : m_planned) {
        switch (outcome(u)) {
        case Refused:
            lines << tr("Şifre yanlış: cihaz %1 kaydını reddetti.").arg(recordName(u));
            break;
        case Failed:
            lines << tr("%1 gönderilemedi: %2").arg(recordName(u), m_reason);
            break;
        case Unanswered:
            lines << tr("%1 için cihazdan yanıt gelmedi; kabul edilip edilmediği bilinmiyor.")
                         .arg(recordName(u));
            break;
        case Waiting:
            lines << tr("%1 için cihazın yanıtı bekleniyor.").arg(recordName(u));
            break;
        case NotSent:
        case Accepted:
            break;
        }
    }
    const QString unsent = names(NotSent);
    if (!unsent.isEmpty() && anySent())
        lines << tr("Gönderilmeyen kayıtlar: %1.").arg(unsent);
    return lines.join(QLatin1Char('\n'));
}

QString UploadLedger::recordName(Upload upload)
{
    switch (upload) {
    case Upload::Names:
        return tr("Kanal İsimleri");
    case Upload::Calibrations:
        return tr("Kanal Kalibrasyonları");
    case Upload::Setup:
        return tr("Kurulum Bilgileri");
    case Upload::Alarms:
        return tr("Alarm Parametreleri");
    case Upload::None:
        break;
    }
    return QString();
}
