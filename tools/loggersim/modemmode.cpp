#include "modemmode.h"

#include "modemsession.h"
#include "transport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace loggersim {

int runModem(QCoreApplication &app, Transport *link, const QString &scenarioFile, const QString &readyFile,
             const QString &logFile)
{
    ModemState state;
    QString error;
    if (!scenarioFile.isEmpty()) {
        QFile file(scenarioFile);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "loggersim: cannot read %s: %s\n", qPrintable(scenarioFile),
                         qPrintable(file.errorString()));
            return 2;
        }
        if (!loadModemScenario(file.readAll(), &state, &error)) {
            std::fprintf(stderr, "loggersim: %s\n", qPrintable(error));
            return 2;
        }
    }

    ModemSession modem(state);
    if (!logFile.isEmpty() && !modem.openLog(logFile, &error)) {
        std::fprintf(stderr, "loggersim: %s\n", qPrintable(error));
        return 2;
    }
    QObject::connect(link, &Transport::received, &modem, &ModemSession::receive);
    QObject::connect(link, &Transport::connected, &modem, &ModemSession::reset);
    QObject::connect(link, &Transport::disconnected, &modem, &ModemSession::reset);
    QObject::connect(&modem, &ModemSession::send, link, &Transport::write);
    QObject::connect(&modem, &ModemSession::hangUp, link, &Transport::hangUp);

    const QString ready = link->readyText();
    std::printf("%s\n", qPrintable(ready));
    std::fflush(stdout);
    std::fprintf(stderr, "loggersim: modem serial %s on %s\n", qPrintable(state.serial), qPrintable(ready));
    if (!readyFile.isEmpty()) {
        QSaveFile file(readyFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(ready.toUtf8() + '\n') < 0 || !file.commit()) {
            std::fprintf(stderr, "loggersim: cannot write %s\n", qPrintable(readyFile));
            return 1;
        }
    }
    return app.exec();
}

} // namespace loggersim
