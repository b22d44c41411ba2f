#pragma once

// Runs the datalogger simulator (the LOGGERSIM program) on a free loopback
// port for the length of a test.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QtTest>

class Simulator
{
public:
    static QString program() { return qEnvironmentVariable("LOGGERSIM"); }
    static bool available() { return QFileInfo(program()).isExecutable(); }

    // Writes `scenarioJson` into `dir` under `name` and starts the simulator
    // on it; false (with the reason in error()) when it did not come up.
    bool start(const QString &dir, const QString &name, const QByteArray &scenarioJson,
               const QStringList &extraArgs = {})
    {
        base = QDir(dir).filePath(name);
        QFile scenario(base + QStringLiteral(".json"));
        if (!scenario.open(QIODevice::WriteOnly) || scenario.write(scenarioJson) != scenarioJson.size())
            return fail(QStringLiteral("cannot write the scenario"));
        scenario.close();
        const QString ready = base + QStringLiteral(".ready");
        QFile::remove(ready);
        QStringList args{QStringLiteral("--scenario"),   scenario.fileName(),
                         QStringLiteral("--tcp"),        QStringLiteral("127.0.0.1:0"),
                         QStringLiteral("--ready-file"), ready,
                         QStringLiteral("--speed"),      QStringLiteral("0"),
                         QStringLiteral("--truth"),      truthPath(),
                         QStringLiteral("--log"),        base + QStringLiteral(".log")};
        process.setProgram(program());
        process.setArguments(args + extraArgs);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000))
            return fail(process.errorString());
        // The ready file appears (atomically) once the port is listening.
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(ready) && !deadline.hasExpired() && process.state() == QProcess::Running)
            process.waitForReadyRead(20);
        QFile readyFile(ready);
        if (!readyFile.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("no ready file"));
        port = quint16(readyFile.readAll().trimmed().toUInt());
        return port != 0 || fail(QStringLiteral("bad ready file"));
    }

    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }

    QString truthPath() const { return base + QStringLiteral(".truth.csv"); }
    QString error() const { return failure; }

    quint16 port = 0;

private:
    bool fail(const QString &why)
    {
        failure = why;
        return false;
    }

    QProcess process;
    QString base;
    QString failure;
};
