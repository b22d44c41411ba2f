#include "modemmode.h"

#include "modemsession.h"
#include "transport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

namespace loggersim {

namespace {

// Writes each answer late and in pieces, as a slow GSM link delivers it. The
// pieces of one answer keep their order, and a hang-up waits for them.
class SlowLine : public QObject
{
public:
    SlowLine(Transport *link, const ModemFaults &faults) : m_link(link), m_faults(faults) {}

    void write(const QByteArray &answer)
    {
        const int step = m_faults.split > 0 ? m_faults.split : int(answer.size());
        for (int pos = 0; pos < answer.size(); pos += step) {
            const int at = m_faults.delayMs + (pos / step) * m_faults.gapMs;
            m_last = qMax(m_last, at);
            QTimer::singleShot(at, m_link,
                               [link = m_link, piece = answer.mid(pos, step)] { link->write(piece); });
        }
    }

    void hangUp() { QTimer::singleShot(m_last + 1, m_link, &Transport::hangUp); }

private:
    Transport *m_link;
    ModemFaults m_faults;
    int m_last = 0;
};

} // namespace

int runModem(QCoreApplication &app, Transport *link, const QString &scenarioFile, const QString &readyFile,
             const QString &logFile, const ModemFaults &faults)
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
    SlowLine line(link, faults);
    if (faults.split > 0 || faults.delayMs > 0) {
        QObject::connect(&modem, &ModemSession::send, &line, &SlowLine::write);
        QObject::connect(&modem, &ModemSession::hangUp, &line, &SlowLine::hangUp);
    } else {
        QObject::connect(&modem, &ModemSession::send, link, &Transport::write);
        QObject::connect(&modem, &ModemSession::hangUp, link, &Transport::hangUp);
    }

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
