#pragma once

#include "nexil/protocol/records.h"

#include <QObject>
#include <QPointer>

class Nexil;
class QProgressDialog;
class QTcpSocket;
class QTimer;
class QWidget;
class Questions;

// "Read From Station": connects to a station's modem, asks the device for
// its identity and lets go of the link. A progress window over `window`
// offers Cancel (Escape does the same); the whole read, connecting
// included, has a time limit. After a cancel nothing more is said.
class IdentityRead : public QObject
{
    Q_OBJECT
public:
    explicit IdentityRead(QWidget *window);
    ~IdentityRead() override;

    void setQuestions(Questions *questions);
    // The limit for connecting and the identity request together (15 s).
    void setTimeout(int milliseconds);
    int timeout() const;
    // Passed on to the library object (its resend period).
    void setReplyTimeout(int milliseconds);

    void start(const QString &host, int port);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void identityRead(DeviceIdentity identity);
    // After the identity, a failure or a cancel.
    void finished();

private:
    void onConnected();
    void onIdentity(const DeviceIdentity &identity);
    void onSocketError();
    void onNexilError(const QString &text);
    void onTimeout();
    // Lets go of the link and the window; `title` and `text` tell why, when set.
    void end(const QString &title = QString(), const QString &text = QString());

    QWidget *m_window;
    Questions *m_questions;
    QTcpSocket *m_socket;
    Nexil *m_nexil;
    QTimer *m_deadline;
    QPointer<QProgressDialog> m_progress;
    QString m_host;
    int m_port = 0;
    bool m_running = false;
};
