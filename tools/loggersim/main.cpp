// loggersim: a datalogger simulator that plays the DEVICE side of the protocol
// over TCP or a pseudo-terminal.
//
// Layout: scenario.* (JSON load), encoder.* (pure reply encoders), memory.*
// (memory image and generator), device.* (requests -> replies, uploads),
// requestparser.* (request framing), session.* (fault injection, log),
// transport.* (TCP server, pty), truth.* (--truth CSV), main.cpp (options).
// A further mode (e.g. --modem) adds its transport or filter in its own files
// and one branch in createTransport() below.

#include "device.h"
#include "encoder.h"
#include "modemmode.h"
#include "scenario.h"
#include "session.h"
#include "transport.h"
#include "truth.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

using namespace loggersim;

namespace {

const char *const Description = R"(Datalogger simulator: answers the device protocol of the nexil suite.

Requests answered (STX word CR CR CR): KML->KML, ANL->ANL, OKU->PAR, RKL->RKL,
KOK->KOK, DKU->DOS, ALO->ALR; checked requests (body CR CRC16 CR CR CR):
AKT (memory block -> VER, "BITTI" past the write position), uploads PAR, KNL,
KAL, AYU, SIF, SET -> CEV "YUKLENDI"/"DEG", "CRCHata" on a CRC mismatch,
"SYANLIS" on a wrong password; the factory tool's plain STX "SET4826" CR CR CR.

Scenario JSON (every member optional; "{}" is a working TQM510):
  serial, model ("TQM510", "ZazEroDar", "TQA110", ... or any word), firmware,
  password (<= 4 chars), clock ("dd/MM/yy hh:mm:ss", default: now),
  supplyVoltage, factoryAnswer ("ok"|"crc"|"password"),
  station {name, group ("02-14-003"), code},
  setup {dayStart, rs485Output, digitA, digitB, sensorOnOffTime,
         sensorWaitTime, waitForExactHour, digitC},
  channels [up to 9 slots: {state, name, code (32-56), unit, interval,
         minMaxType, recordType, instant, max {value, time}, min {value, time}}],
  calibrations {units[9], minVoltages[5], gains[7], maxValues[5],
         minValues[5], offsets[5], multipliers[5], measurementTypes[7]},
  alarms {maximums[4], minimums[4], maximumEvents[4], minimumEvents[4]
         ({time, value} or null), flags[9], digits[2], maximumResets[4],
         minimumResets[4]},
  files [{date, endPage, endBuffer}] (default: one file per setup record),
  memory {records [{type: "setup", time} | {type: "timestamp", time} |
          {type: "measurement", minutes, values[]} |
          {type: "daily", max [{value,time}], min [...], avg [], tot []} |
          {type: "raw", hex}],
          generator {start, interval (min), channelIntervals (true: each
          channel at the minutes of the day its slot interval divides), days, seed,
          channels [{shape: river|rain|temperature|voltage|sine|constant|random,
                     base, amplitude, period (h), errorRate}]}}
  Without "memory", two days of generated data end at the clock.
Times are "dd/MM/yy hh:mm[:ss]" (20yy). Exit status 2: bad options or scenario.)";

struct Options
{
    bool pty = false;
    bool modem = false;
    int gapMs = 0;
    QHostAddress host = QHostAddress(QStringLiteral("127.0.0.1"));
    quint16 port = 4380;
    QString readyFile;
    QString scenarioFile;
    QString logFile;
    QString truthFile;
    QString factoryAnswer;
    QStringList refusedUploads;
    double speed = 1.0;
    int count = 1;
    int idleHangUpMs = 0;
    FaultOptions faults;
};

[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "loggersim: %s\n", qPrintable(message));
    std::exit(2);
}

int intValue(const QCommandLineParser &p, const QString &name, int minimum)
{
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < minimum)
        usageError(QStringLiteral("--%1 expects an integer >= %2").arg(name).arg(minimum));
    return v;
}

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromUtf8(Description));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {QStringLiteral("tcp"),
         QStringLiteral("Listen on TCP [HOST:]PORT (default 127.0.0.1:4380; PORT 0 picks a free port). "
                        "One client at a time; accepts again after a disconnect."),
         QStringLiteral("[HOST:]PORT")},
        {QStringLiteral("pty"),
         QStringLiteral("Open a pseudo-terminal (raw mode) instead and print its slave path on the "
                        "first line of stdout; open that path as a serial port.")},
        {QStringLiteral("ready-file"),
         QStringLiteral("Once listening, write the port (TCP) or the slave path (pty) to F "
                        "(atomically: temp file + rename)."),
         QStringLiteral("F")},
        {QStringLiteral("scenario"), QStringLiteral("Scenario JSON describing the logger (see below)."),
         QStringLiteral("FILE")},
        {QStringLiteral("split"), QStringLiteral("Write each reply in random chunks of at most N bytes."),
         QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the --split chunk sizes (default 1)."),
         QStringLiteral("S")},
        {QStringLiteral("drop-every"), QStringLiteral("Stay silent on every K-th request."),
         QStringLiteral("K")},
        {QStringLiteral("corrupt-every"), QStringLiteral("Send a bad payload CRC in every K-th reply."),
         QStringLiteral("K")},
        {QStringLiteral("delay-ms"), QStringLiteral("Wait D ms before each reply."), QStringLiteral("D")},
        {QStringLiteral("gap-ms"),
         QStringLiteral("With --modem and --split: write the pieces of an answer G ms apart (default 0)."),
         QStringLiteral("G")},
        {QStringLiteral("log"),
         QStringLiteral("Write one line per request received to F, starting with its command word "
                        "(e.g. \"KML\", \"AKT page=3 buffer=0\", \"PAR crc=bad\", \"SET factory\"; "
                        "\" dropped\"/\" corrupt\" appended when a fault applies), flushed per line."),
         QStringLiteral("F")},
        {QStringLiteral("speed"),
         QStringLiteral("The simulated clock runs X times real time (default 1, 0 freezes it); "
                        "new records are appended to memory as it passes."),
         QStringLiteral("X")},
        {QStringLiteral("truth"),
         QStringLiteral("Write the values put into memory as CSV: time,type,channel,value "
                        "(channel = position among the active slots)."),
         QStringLiteral("F")},
        {QStringLiteral("idle-hangup-ms"),
         QStringLiteral("Drop a TCP client that sent nothing for M ms, as a station modem drops a silent "
                        "line (default: never)."),
         QStringLiteral("M")},
        {QStringLiteral("disconnect-after-blocks"),
         QStringLiteral("Close the connection once, after B data blocks (TCP)."), QStringLiteral("B")},
        {QStringLiteral("factory-answer"),
         QStringLiteral("Answer to factory-settings commands: ok (YUKLENDI), crc (CRCHata) "
                        "or password (SYANLIS); overrides the scenario's factoryAnswer."),
         QStringLiteral("crc|password|ok")},
        {QStringLiteral("refuse-upload"),
         QStringLiteral("Answer uploads of WORD (PAR, KNL, KAL or AYU) as a wrong password (SYANLIS) "
                        "and keep the record; may be repeated."),
         QStringLiteral("WORD")},
        {QStringLiteral("count"),
         QStringLiteral("Play N loggers of the scenario in this one process (TCP only), each on a "
                        "port of its own: PORT 0 picks free ports, any other the N ports from PORT. "
                        "Logger i (from 0) has the station code followed by i (or %1 in the code "
                        "replaced by i); stdout and --ready-file list the ports, one per line; "
                        "%1 in --truth and --log is replaced by i."),
         QStringLiteral("N")},
        {QStringLiteral("modem"),
         QStringLiteral("Play the station modem's setup commands (\"|||\", \"OKU\", \"TEL\", "
                        "\"GSR\") instead of the datalogger; settings from the scenario's "
                        "\"modem\" object.")},
    });
    p.process(app);
    if (!p.positionalArguments().isEmpty())
        usageError(
            QStringLiteral("unexpected argument %1 (see --help)").arg(p.positionalArguments().first()));

    Options o;
    o.pty = p.isSet(QStringLiteral("pty"));
    o.modem = p.isSet(QStringLiteral("modem"));
    if (o.pty && p.isSet(QStringLiteral("tcp")))
        usageError(QStringLiteral("--tcp and --pty exclude each other"));
    if (p.isSet(QStringLiteral("tcp"))) {
        const QString tcpText = p.value(QStringLiteral("tcp"));
        const int colon = tcpText.lastIndexOf(QLatin1Char(':'));
        const QString portText = colon >= 0 ? tcpText.mid(colon + 1) : tcpText;
        if (colon > 0) {
            QString hostText = tcpText.left(colon);
            if (hostText.startsWith(QLatin1Char('[')) && hostText.endsWith(QLatin1Char(']')))
                hostText = hostText.mid(1, hostText.size() - 2);
            if (hostText == QLatin1String("*"))
                o.host = QHostAddress::Any;
            else if (hostText == QLatin1String("localhost"))
                o.host = QHostAddress::LocalHost;
            else if (!o.host.setAddress(hostText))
                usageError(QStringLiteral("--tcp: bad host %1").arg(hostText));
        }
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 0 || port > 65535)
            usageError(QStringLiteral("--tcp: bad port %1").arg(portText));
        o.port = quint16(port);
    }
    o.readyFile = p.value(QStringLiteral("ready-file"));
    o.scenarioFile = p.value(QStringLiteral("scenario"));
    o.logFile = p.value(QStringLiteral("log"));
    o.truthFile = p.value(QStringLiteral("truth"));
    if (p.isSet(QStringLiteral("split")))
        o.faults.split = intValue(p, QStringLiteral("split"), 1);
    if (p.isSet(QStringLiteral("seed")))
        o.faults.seed = quint32(intValue(p, QStringLiteral("seed"), 0));
    if (p.isSet(QStringLiteral("drop-every")))
        o.faults.dropEvery = intValue(p, QStringLiteral("drop-every"), 1);
    if (p.isSet(QStringLiteral("corrupt-every")))
        o.faults.corruptEvery = intValue(p, QStringLiteral("corrupt-every"), 1);
    if (p.isSet(QStringLiteral("delay-ms")))
        o.faults.delayMs = intValue(p, QStringLiteral("delay-ms"), 0);
    if (p.isSet(QStringLiteral("gap-ms")))
        o.gapMs = intValue(p, QStringLiteral("gap-ms"), 0);
    if (p.isSet(QStringLiteral("disconnect-after-blocks")))
        o.faults.disconnectAfterBlocks = intValue(p, QStringLiteral("disconnect-after-blocks"), 1);
    if (p.isSet(QStringLiteral("idle-hangup-ms")))
        o.idleHangUpMs = intValue(p, QStringLiteral("idle-hangup-ms"), 1);
    if (p.isSet(QStringLiteral("count")))
        o.count = intValue(p, QStringLiteral("count"), 1);
    if (o.count > 1 && (o.pty || o.modem))
        usageError(QStringLiteral("--count needs TCP and the datalogger"));
    if (p.isSet(QStringLiteral("speed"))) {
        bool ok = false;
        o.speed = p.value(QStringLiteral("speed")).toDouble(&ok);
        if (!ok || o.speed < 0)
            usageError(QStringLiteral("--speed expects a number >= 0"));
    }
    if (p.isSet(QStringLiteral("factory-answer"))) {
        o.factoryAnswer = p.value(QStringLiteral("factory-answer"));
        if (o.factoryAnswer != QLatin1String("ok") && o.factoryAnswer != QLatin1String("crc") &&
            o.factoryAnswer != QLatin1String("password"))
            usageError(QStringLiteral("--factory-answer expects crc, password or ok"));
    }
    const QStringList uploadWords{QStringLiteral("PAR"), QStringLiteral("KNL"), QStringLiteral("KAL"),
                                  QStringLiteral("AYU")};
    for (const QString &word : p.values(QStringLiteral("refuse-upload"))) {
        if (!uploadWords.contains(word))
            usageError(QStringLiteral("--refuse-upload expects PAR, KNL, KAL or AYU"));
        o.refusedUploads << word;
    }
    return o;
}

bool writeReadyFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8() + '\n');
    return file.commit();
}

// The byte link of the selected mode. A new mode adds a branch here.
Transport *createTransport(const Options &o, QObject *parent, QString *error)
{
    if (o.pty) {
        auto *pty = new PtyTransport(parent);
        if (!pty->open(error))
            return nullptr;
        return pty;
    }
    auto *tcp = new TcpTransport(parent);
    if (!tcp->listen(o.host, o.port, error))
        return nullptr;
    tcp->setIdleHangUp(o.idleHangUpMs);
    return tcp;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggersim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    const Options o = parseOptions(app);
    if (o.modem) {
        QString linkError;
        Transport *link = createTransport(o, &app, &linkError);
        if (!link) {
            std::fprintf(stderr, "loggersim: %s\n", qPrintable(linkError));
            return 1;
        }
        ModemFaults faults;
        faults.split = o.faults.split;
        faults.delayMs = o.faults.delayMs;
        faults.gapMs = o.gapMs;
        return runModem(app, link, o.scenarioFile, o.readyFile, o.logFile, faults);
    }

    Scenario scenario = defaultScenario(QStringLiteral("TQM510"));
    scenario.generator.enabled = true;
    if (!o.scenarioFile.isEmpty()) {
        QString error;
        QStringList warnings;
        if (!loadScenarioFile(o.scenarioFile, &scenario, &error, &warnings))
            usageError(error);
        for (const QString &warning : qAsConst(warnings))
            std::fprintf(stderr, "loggersim: warning: %s: %s\n", qPrintable(o.scenarioFile),
                         qPrintable(warning));
    }
    if (!o.factoryAnswer.isEmpty())
        scenario.factoryAnswer = o.factoryAnswer;
    scenario.refusedUploads = o.refusedUploads;
    if (!encoder::identificationFits(scenario.serial, scenario.model, scenario.firmware))
        std::fprintf(
            stderr,
            "loggersim: warning: serial, model and firmware exceed the 19-byte identification; it is cut\n");

    // One logger per --count, all served by this process's event loop.
    struct Logger
    {
        std::unique_ptr<Device> device;
        TruthWriter truth;
        std::unique_ptr<Session> session;
        Transport *transport = nullptr;
    };
    std::vector<std::unique_ptr<Logger>> loggers;
    QStringList readyLines;
    QString error;
    for (int i = 0; i < o.count; ++i) {
        Scenario own = scenario;
        QString log = o.logFile;
        QString truthPath = o.truthFile;
        if (o.count > 1) {
            const QString n = QString::number(i);
            own.stationCode =
                own.stationCode.contains(QLatin1String("%1")) ? own.stationCode.arg(n) : own.stationCode + n;
            log.replace(QLatin1String("%1"), n);
            truthPath.replace(QLatin1String("%1"), n);
        }
        auto logger = std::make_unique<Logger>();
        logger->device = std::make_unique<Device>(own, o.speed);
        if (!truthPath.isEmpty()) {
            if (!logger->truth.open(truthPath, &error))
                usageError(error);
            logger->truth.update(logger->device->memory());
        }
        logger->session = std::make_unique<Session>(logger->device.get(), o.faults);
        if (!log.isEmpty() && !logger->session->openLog(log, &error))
            usageError(error);

        Options own_o = o;
        if (o.count > 1 && o.port != 0)
            own_o.port = quint16(o.port + i);
        Transport *transport = createTransport(own_o, &app, &error);
        if (!transport) {
            std::fprintf(stderr, "loggersim: %s\n", qPrintable(error));
            return 1;
        }
        Session *session = logger->session.get();
        QObject::connect(transport, &Transport::received, session, &Session::receive);
        QObject::connect(transport, &Transport::connected, session, &Session::reset);
        QObject::connect(transport, &Transport::disconnected, session, &Session::reset);
        QObject::connect(session, &Session::send, transport, &Transport::write);
        QObject::connect(session, &Session::hangUp, transport, &Transport::hangUp);
        logger->transport = transport;
        readyLines.append(transport->readyText());
        loggers.push_back(std::move(logger));
    }

    // The clock passes: append records, keep the truth files in step. A
    // frozen clock has nothing to append.
    QTimer ticker;
    ticker.setInterval(200);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        for (auto &logger : loggers) {
            logger->device->advance();
            logger->truth.update(logger->device->memory());
        }
    });
    if (o.speed > 0)
        ticker.start();

    const QString ready = readyLines.join(QLatin1Char('\n'));
    std::printf("%s\n", qPrintable(ready));
    std::fflush(stdout);
    const Device &first = *loggers.front()->device;
    std::fprintf(stderr, "loggersim: %s %s-V%d serial %s, %s %s, memory %d bytes%s\n", o.pty ? "pty" : "tcp",
                 qPrintable(scenario.model), scenario.firmware, qPrintable(scenario.serial),
                 o.pty ? "device" : "port", qPrintable(readyLines.constFirst()),
                 first.memory().writePosition(),
                 o.count > 1 ? qPrintable(QStringLiteral(", %1 loggers").arg(o.count)) : "");
    if (!o.readyFile.isEmpty() && !writeReadyFile(o.readyFile, ready)) {
        std::fprintf(stderr, "loggersim: cannot write %s\n", qPrintable(o.readyFile));
        return 1;
    }
    return app.exec();
}
