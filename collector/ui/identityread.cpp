#include "identityread.h"

#include "collectorlogging.h"
#include "questions.h"

#include "nexil/protocol/nexil.h"

#include <QProgressDialog>
#include <QTcpSocket>
#include <QTimer>

IdentityRead::IdentityRead(QWidget *window)
    : QObject(window), m_window(window), m_questions(Questions::dialogs()), m_socket(new QTcpSocket(this)),
      m_nexil(new Nexil(this)), m_deadline(new QTimer(this))
{
    m_socket->setObjectName(QStringLiteral("identitySocket"));
    m_nexil->setObjectName(QStringLiteral("identityNexil"));
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(15000);
    connect(m_socket, &QTcpSocket::connected, this, &IdentityRead::onConnected);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &IdentityRead::onSocketError);
    connect(m_nexil, &Nexil::deviceIdentity, this, &IdentityRead::onIdentity);
    connect(m_nexil, &Nexil::error, this, [this](int, const QString &text) { onNexilError(text); });
    connect(m_deadline, &QTimer::timeout, this, &IdentityRead::onTimeout);
}

IdentityRead::~IdentityRead()
{
    m_socket->disconnect(this);
    m_nexil->disconnect(this);
    m_nexil->cancelLastProcess();
    m_nexil->closeConnection();
    m_socket->abort();
    delete m_progress;
}

void IdentityRead::setQuestions(Questions *questions)
{
    m_questions = questions ? questions : Questions::dialogs();
}

void IdentityRead::setTimeout(int milliseconds)
{
    m_deadline->setInterval(qMax(1, milliseconds));
}

int IdentityRead::timeout() const
{
    return m_deadline->interval();
}

void IdentityRead::setReplyTimeout(int milliseconds)
{
    m_nexil->setReplyTimeout(milliseconds);
}

void IdentityRead::start(const QString &host, int port)
{
    if (m_running)
        cancel();
    m_host = host;
    m_port = port;
    m_running = true;

    m_progress = new QProgressDialog(m_window);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setMinimumWidth(400);
    m_progress->setWindowTitle(tr("Read From Device"));
    m_progress->setCancelButtonText(tr("Cancel"));
    m_progress->setRange(0, 0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setLabelText(tr("Connecting to station.."));
    m_progress->setWindowModality(Qt::WindowModal);
    connect(m_progress, &QProgressDialog::canceled, this, &IdentityRead::cancel);
    // Escape hides the window without the cancel signal.
    connect(m_progress, &QDialog::rejected, this, &IdentityRead::cancel);
    m_progress->show();

    // A link left over from an earlier read would refuse the new host.
    m_socket->abort();
    m_deadline->start();
    m_socket->connectToHost(host, quint16(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void IdentityRead::cancel()
{
    if (!m_running)
        return;
    qCDebug(lcConsole, "identity read of %s:%d cancelled", qPrintable(m_host), m_port);
    end();
}

void IdentityRead::onConnected()
{
    if (!m_running)
        return;
    if (m_progress)
        m_progress->setLabelText(tr("Reading device identity.."));
    m_nexil->setConnection(m_socket);
    m_nexil->getDeviceIdentity();
}

void IdentityRead::onIdentity(const DeviceIdentity &identity)
{
    if (!m_running)
        return;
    emit identityRead(identity);
    end();
}

void IdentityRead::onSocketError()
{
    if (m_running)
        end(tr("Socket Error"), m_socket->errorString());
}

void IdentityRead::onNexilError(const QString &text)
{
    if (m_running)
        end(tr("Nexil Error"), text);
}

void IdentityRead::onTimeout()
{
    if (m_running)
        end(tr("Socket Error"),
            tr("No answer from %1:%2 within %3 s.").arg(m_host).arg(m_port).arg(timeout() / 1000.0));
}

void IdentityRead::end(const QString &title, const QString &text)
{
    m_running = false;
    m_deadline->stop();
    // Without this a request cut short would keep resending and report a
    // second, late error for the same read.
    m_nexil->cancelLastProcess();
    m_nexil->closeConnection();
    m_socket->abort();
    if (m_progress) {
        QProgressDialog *window = m_progress;
        m_progress = nullptr;
        window->disconnect(this);
        window->hide();
        window->deleteLater();
    }
    if (!title.isEmpty())
        m_questions->critical(m_window, title, text);
    emit finished();
}
