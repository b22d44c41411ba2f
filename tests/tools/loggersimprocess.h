#pragma once

// Runs the simulator for one test and reads its ready line (port or pty path).

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

class LoggersimProcess
{
public:
    static QString program()
    {
        return QProcessEnvironment::systemEnvironment().value(QStringLiteral("LOGGERSIM"));
    }
    static bool available() { return QFileInfo(program()).isExecutable(); }

    // Starts it with the arguments and waits for the ready line; empty on failure.
    QString start(const QStringList &arguments, int timeoutMs = 10000)
    {
        m_process.setProgram(program());
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return QString();
        QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || m_process.state() != QProcess::Running)
                return QString();
            m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    ~LoggersimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }

private:
    QProcess m_process;
};
