#pragma once

// Starts the logger simulator for a test and stops it when the test is done.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

class SimProcess
{
public:
    SimProcess() = default;
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess() { stop(); }

    static QString binary()
    {
        return QProcessEnvironment::systemEnvironment().value(QStringLiteral("LOGGERSIM"),
                                                              QStringLiteral("loggersim"));
    }

    static QString scenario(const QString &name)
    {
        return QStringLiteral(NEXIL_SOURCE_DIR "/tools/loggersim/scenarios/") + name;
    }

    // Starts it with the arguments (plus --ready-file) and waits until it listens.
    bool start(const QStringList &arguments, bool pty = false)
    {
        readyFile = dir.filePath(QStringLiteral("ready"));
        QStringList args = arguments;
        args << QStringLiteral("--ready-file") << readyFile;
        if (pty)
            args << QStringLiteral("--pty");
        else if (!args.contains(QStringLiteral("--tcp")))
            args << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:0");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(binary(), args);
        if (!process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(readyFile)) {
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(20);
            QCoreApplication::processEvents();
        }
        QFile file(readyFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        address = QString::fromUtf8(file.readAll()).trimmed();
        return !address.isEmpty();
    }

    quint16 port() const { return quint16(address.toUInt()); }
    QString ptyPath() const { return address; }
    QString tcpTarget() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    QString path(const QString &name) const { return dir.filePath(name); }

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }

private:
    QTemporaryDir dir;
    QProcess process;
    QString readyFile;
    QString address;
};
