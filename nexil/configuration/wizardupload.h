#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/setuppages.h"
#include "nexil/configuration/uploadcheck.h"
#include "nexil/nexil_global.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QStringList>

class Nexil;

// The setup wizard's send, beside its pages: which records differ from what
// was read, the order they go in, and the read-back that tells which of them
// the device took.
class NEXIL_EXPORT WizardUpload : public QObject
{
    Q_OBJECT
public:
    explicit WizardUpload(Nexil *nexil, QObject *parent = nullptr);

    // What the device reported when the wizard read it.
    void setRead(const ConfigSnapshot &read) { m_read = read; }
    const ConfigSnapshot &read() const { return m_read; }

    static QString recordOf(setupwizard::Upload upload);
    // The uploads of a send choice, in the order they go; records equal to
    // what was read are left out unless `everything`.
    QList<setupwizard::Upload> plan(setupwizard::SendChoice choice, const ConfigSnapshot &working,
                                    bool everything) const;
    // "Channel 1 name: Seviye → Su Seviyesi", one line per changed field of the records given.
    QStringList changes(const ConfigSnapshot &working, const QList<setupwizard::Upload> &uploads) const;

    // Starts a send of `uploads` (the caller sends each one); the first, or None.
    setupwizard::Upload start(const QList<setupwizard::Upload> &uploads, const ConfigSnapshot &working);
    bool isSending() const { return m_sending; }
    // The send so far: what is meant and which uploads were answered.
    const UploadCheck &progress() const { return m_check; }
    // The upload in flight was acknowledged; the next one, or None.
    setupwizard::Upload acknowledged();
    // The upload in flight went unanswered; nothing more is sent.
    void unanswered();
    // Reads the four records and emits checked(). The wizard's own reading
    // slots must be disconnected first.
    void readBack();

signals:
    // The device refused the upload in flight (wrong password): nothing
    // more is sent; read back next.
    void refused();
    void checked(UploadCheck check);

private:
    void finishReadBack();
    void disconnectAll();

    Nexil *m_nexil;
    ConfigSnapshot m_read;
    ConfigSnapshot m_back;
    UploadCheck m_check;
    QList<setupwizard::Upload> m_plan;
    int m_current = -1;
    bool m_sending = false;
    QList<QMetaObject::Connection> m_connections;
};
