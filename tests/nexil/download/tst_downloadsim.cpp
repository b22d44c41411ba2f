// Memory downloads from the logger simulator over loopback, each visit done
// the way the collector does it: setup and file information, the data file's
// name, its resume point, getData, saveFile. After every visit the saved XML
// must hold each value the simulator put into memory exactly once.
//
// The simulated clock runs, so the memory grows between visits. A record
// written while a download runs would be fetched twice (the file keeps the
// write position reported before the pages were read), so every visit starts
// right after the simulator wrote a record and the records are written far
// apart (one every 24 s of real time).

#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"
#include "support/datatruth.h"
#include "support/simprocess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

using datatruth::key;
using Multiset = datatruth::Multiset;
using SavedFile = datatruth::Saved;
using datatruth::readXml;

constexpr int RecordMinutes = 240;
// Records 6 s apart: a visit started just after one ends long before the next,
// even on a loaded machine.
constexpr int Speed = 2400;
// A record every 0.2 s, so the memory grows while the pages are read.
constexpr int RecordsDuringDownloadSpeed = 600;

// The example logger, writing one record every `minutes` simulated minutes,
// or, given `channelIntervals`, each active channel at its own interval.
QString writeScenario(const SimProcess &sim, int minutes = RecordMinutes, int days = 3,
                      const QList<int> &channelIntervals = {})
{
    QFile in(SimProcess::scenario(QStringLiteral("tqm510.json")));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject scenario = QJsonDocument::fromJson(in.readAll()).object();
    if (!channelIntervals.isEmpty()) {
        QJsonArray channels = scenario.value(QStringLiteral("channels")).toArray();
        for (int i = 0, k = 0; i < channels.size(); ++i) {
            QJsonObject channel = channels.at(i).toObject();
            if (channel.value(QStringLiteral("state")).toInt() != 1)
                continue;
            channel.insert(QStringLiteral("interval"), channelIntervals.value(k++, channelIntervals.last()));
            channels[i] = channel;
        }
        scenario.insert(QStringLiteral("channels"), channels);
    }
    QJsonObject memory = scenario.value(QStringLiteral("memory")).toObject();
    QJsonObject generator = memory.value(QStringLiteral("generator")).toObject();
    generator.insert(QStringLiteral("interval"), minutes);
    generator.insert(QStringLiteral("channelIntervals"), !channelIntervals.isEmpty());
    generator.insert(QStringLiteral("days"), days);
    memory.insert(QStringLiteral("generator"), generator);
    scenario.insert(QStringLiteral("memory"), memory);
    const QString path = sim.path(QStringLiteral("scenario.json"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(scenario).toJson()) < 0)
        return QString();
    return path;
}

// Rows of the truth CSV up to and including `until` ("yyyy-MM-dd hh:mm").
Multiset readTruth(const QString &path, const QString &until)
{
    Multiset rows;
    for (const datatruth::Row &row : datatruth::readTruth(path))
        if (row.time <= until)
            ++rows[row.key];
    return rows;
}

// What a visit saved against the truth file: exactly the first rows the
// simulator wrote (memory order), and among them every measurement made up to
// the visit's device time. Daily summaries carry times earlier than the moment
// they are written, so only measurements can be judged by their time.
QString checkTruth(const QString &path, const QString &deviceTime, const SavedFile &saved)
{
    const QList<datatruth::Row> rows = datatruth::readTruth(path);
    if (rows.isEmpty())
        return QStringLiteral("no truth file");
    const QString mismatch = datatruth::prefixMismatch(rows, saved);
    if (!mismatch.isEmpty())
        return mismatch;
    for (const datatruth::Row &row : rows) {
        if (row.key.contains(QLatin1String(" INS ")) && row.time <= deviceTime && !saved.lines.contains(row.key))
            return QStringLiteral("%1: measured before the visit, not saved").arg(row.key);
    }
    return QString();
}

struct VisitResult
{
    QString path;
    QString deviceTime; // device clock when the visit read the setup, to the minute
    int dataFiles = 0;
    int pages = 0;
    int saveResult = -1;
    bool completed = false;
    bool disconnected = false;
    QList<int> errors;
};

// One connection, one Nexil, as a collector visit.
class Visit
{
public:
    Visit(quint16 port, int replyTimeout)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        connected = socket.waitForConnected(10000);
        nexil.setReplyTimeout(replyTimeout);
        nexil.setConnection(&socket);
    }

    bool isConnected() const { return connected; }

    template<typename Signal> QVariant request(void (Nexil::*start)(), Signal signal)
    {
        QSignalSpy replies(&nexil, signal);
        QSignalSpy errors(&nexil, &Nexil::error);
        (nexil.*start)();
        QDeadlineTimer deadline(60000);
        while (replies.isEmpty() && errors.isEmpty() && !deadline.hasExpired())
            replies.wait(100);
        return replies.isEmpty() ? QVariant() : replies.first().at(0);
    }

    // Waits for the device to write memory past `address` (-1: past where it
    // is now), so that the visit starts just after a record was written.
    bool waitForWrite(int address)
    {
        QDeadlineTimer deadline(90000);
        while (!deadline.hasExpired()) {
            const QVariant reply = request(&Nexil::getFileInformations, &Nexil::fileInformations);
            if (!reply.isValid())
                continue;
            const int now = reply.value<FileInformations>().lastAddress;
            if (address < 0)
                address = now;
            else if (now > address)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // startFrom: a file of another collector whose resume point a visit
    // without a file of its own starts from (as the shared store gives it),
    // with its time base or, withBase false, without.
    VisitResult run(const QString &directory, const QString &startFrom = QString(), bool withBase = true)
    {
        VisitResult result;
        const QVariant setupReply = request(&Nexil::getSetupParemeters, &Nexil::setupParameters);
        const QVariant filesReply = request(&Nexil::getFileInformations, &Nexil::fileInformations);
        if (!setupReply.isValid() || !filesReply.isValid())
            return result;
        const auto setup = setupReply.value<SetupParameters>();
        const auto files = filesReply.value<FileInformations>();
        if (files.fileCount < 1 || files.fileCount > files.files.size())
            return result;
        result.deviceTime = setup.deviceTime.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        result.path = QStringLiteral("%1/%2_%3.xml")
                          .arg(directory, setup.stationCode,
                               files.files.at(files.fileCount - 1).date.toString(QStringLiteral("ddMMyyyy")));

        int page = 0;
        int buffer = 0;
        QDateTime time;
        FileManager fileManager;
        if (QFile::exists(result.path))
            fileManager.getLastMemoryAddresses(&page, &buffer, &time, result.path);
        else if (!startFrom.isEmpty())
            fileManager.getLastMemoryAddresses(&page, &buffer, &time, startFrom);
        if (!withBase)
            time = QDateTime();

        QObject::connect(&nexil, &Nexil::dataFile, [&](const QList<DataFile> &list) {
            result.dataFiles += list.size();
            if (!list.isEmpty())
                result.saveResult = fileManager.saveFile(list.last(), result.path, false, false);
        });
        QObject::connect(&nexil, &Nexil::downloadProgress, [&](int done, int) { result.pages = done; });
        QObject::connect(&nexil, &Nexil::downloadCompleted, [&] { result.completed = true; });
        QObject::connect(&nexil, &Nexil::error, [&](int code, const QString &) { result.errors << code; });
        // As the collector: a cut connection ends the visit and its request.
        QObject::connect(&socket, &QTcpSocket::disconnected, [&] {
            result.disconnected = true;
            nexil.cancelLastProcess();
        });
        nexil.getData(time, page, buffer);
        QDeadlineTimer deadline(180000);
        while (!result.completed && !result.disconnected && nexil.isDownloading() && !deadline.hasExpired())
            QTest::qWait(20);
        QObject::disconnect(&nexil, nullptr, nullptr, nullptr);
        QObject::disconnect(&socket, &QTcpSocket::disconnected, nullptr, nullptr);
        return result;
    }

private:
    QTcpSocket socket;
    Nexil nexil;
    bool connected = false;
};

} // namespace

class tst_DownloadSim : public QObject
{
    Q_OBJECT
private slots:
    void firstAndResumedVisits_saveEveryValueOnce_data();
    void firstAndResumedVisits_saveEveryValueOnce();
    void cutVisit_savesNothing_nextVisitSavesEverything();
    void recordsWrittenDuringDownload_savedOnce();
    void channelIntervals_firstAndThreeGrowingVisits();
    void slowReplies_eachBlockRequestedOnce();
    void fileBegunMidMemory_everyValueDatedOnce();
};

void tst_DownloadSim::firstAndResumedVisits_saveEveryValueOnce_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("replyTimeout");
    QTest::newRow("clean link") << QStringList() << 5000;
    // Split replies take a few hundred ms to arrive; a tick during one only
    // asks for the same page again.
    QTest::newRow("split, corrupt and dropped replies")
        << QStringList{"--split", "5", "--seed", "4", "--corrupt-every", "3", "--drop-every", "4"} << 500;
}

void tst_DownloadSim::firstAndResumedVisits_saveEveryValueOnce()
{
    QFETCH(QStringList, faults);
    QFETCH(int, replyTimeout);
    SimProcess sim;
    const QString scenario = writeScenario(sim);
    QVERIFY(!scenario.isEmpty());
    const QString truth = sim.path(QStringLiteral("truth.csv"));
    QVERIFY(sim.start(
        QStringList{"--scenario", scenario, "--speed", QString::number(Speed), "--truth", truth} + faults));
    const QString directory = sim.path(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(directory));

    VisitResult first;
    {
        Visit visit(sim.port(), replyTimeout);
        QVERIFY(visit.isConnected());
        QVERIFY(visit.waitForWrite(-1));
        first = visit.run(directory);
    }
    QVERIFY(first.completed);
    QCOMPARE(first.dataFiles, 1);
    QCOMPARE(first.saveResult, 0);
    const SavedFile afterFirst = readXml(first.path);
    QVERIFY(afterFirst.ok);
    QVERIFY(afterFirst.lineCount > 50);
    QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, first.deviceTime, afterFirst).isEmpty(),
                              qPrintable(checkTruth(truth, first.deviceTime, afterFirst)), 10000);

    VisitResult resumed;
    {
        Visit visit(sim.port(), replyTimeout);
        QVERIFY(visit.isConnected());
        QVERIFY(visit.waitForWrite(afterFirst.page * 512 + afterFirst.buffer));
        resumed = visit.run(directory);
    }
    QVERIFY(resumed.completed);
    QCOMPARE(resumed.path, first.path);
    QCOMPARE(resumed.saveResult, 0);
    const SavedFile afterResume = readXml(resumed.path);
    QVERIFY(afterResume.ok);
    QVERIFY(afterResume.page * 512 + afterResume.buffer > afterFirst.page * 512 + afterFirst.buffer);
    QVERIFY(afterResume.lineCount > afterFirst.lineCount);
    QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, resumed.deviceTime, afterResume).isEmpty(),
                              qPrintable(checkTruth(truth, resumed.deviceTime, afterResume)), 10000);
}

void tst_DownloadSim::cutVisit_savesNothing_nextVisitSavesEverything()
{
    SimProcess sim;
    const QString scenario = writeScenario(sim);
    QVERIFY(!scenario.isEmpty());
    const QString truth = sim.path(QStringLiteral("truth.csv"));
    QVERIFY(sim.start({"--scenario", scenario, "--speed", QString::number(Speed), "--truth", truth,
                       "--disconnect-after-blocks", "2"}));
    const QString directory = sim.path(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(directory));

    VisitResult cut;
    {
        Visit visit(sim.port(), 5000);
        QVERIFY(visit.isConnected());
        cut = visit.run(directory);
    }
    QVERIFY(cut.disconnected);
    QVERIFY(!cut.completed);
    QCOMPARE(cut.dataFiles, 0);
    QVERIFY(cut.pages >= 1);
    QVERIFY(!cut.path.isEmpty());
    QVERIFY(!QFile::exists(cut.path));

    VisitResult next;
    {
        Visit visit(sim.port(), 5000);
        QVERIFY(visit.isConnected());
        QVERIFY(visit.waitForWrite(-1));
        next = visit.run(directory);
    }
    QVERIFY(next.completed);
    QCOMPARE(next.path, cut.path);
    QCOMPARE(next.saveResult, 0);
    const SavedFile saved = readXml(next.path);
    QVERIFY(saved.ok);
    QVERIFY(saved.lineCount > 50);
    QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, next.deviceTime, saved).isEmpty(),
                              qPrintable(checkTruth(truth, next.deviceTime, saved)), 10000);
    QVERIFY(next.pages > cut.pages);
}

void tst_DownloadSim::recordsWrittenDuringDownload_savedOnce()
{
    // A record every 0.2 s and slow replies: the memory grows while the pages are read.
    SimProcess sim;
    const QString scenario = writeScenario(sim, 2, 1);
    QVERIFY(!scenario.isEmpty());
    const QString truth = sim.path(QStringLiteral("truth.csv"));
    QVERIFY(sim.start({"--scenario", scenario, "--speed", QString::number(RecordsDuringDownloadSpeed),
                       "--truth", truth, "--delay-ms", "40"}));
    const QString directory = sim.path(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(directory));

    VisitResult visits[2];
    for (VisitResult &result : visits) {
        Visit visit(sim.port(), 5000);
        QVERIFY(visit.isConnected());
        result = visit.run(directory);
        QVERIFY(result.completed);
        QCOMPARE(result.saveResult, 0);
    }
    const SavedFile saved = readXml(visits[1].path);
    QVERIFY(saved.ok);
    // The truth file is written in memory order, so once it holds as many
    // rows as were saved it covers everything saved.
    const auto rows = [&] {
        int n = 0;
        for (int count : readTruth(truth, QStringLiteral("9999")))
            n += count;
        return n;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rows() >= saved.lineCount, 10000);
    const Multiset all = readTruth(truth, QStringLiteral("9999"));
    for (auto it = saved.lines.cbegin(); it != saved.lines.cend(); ++it)
        QVERIFY2(it.value() <= all.value(it.key()),
                 qPrintable(QStringLiteral("%1 saved %2 times").arg(it.key()).arg(it.value())));
    // Measurements made before the last visit began are all there. (A daily
    // summary carries earlier times than the moment it is written.)
    const Multiset before = readTruth(truth, visits[1].deviceTime);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key().contains(QLatin1String(" INS ")))
            QVERIFY2(saved.lines.value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

void tst_DownloadSim::channelIntervals_firstAndThreeGrowingVisits()
{
    // Channels written every 120, 240 and 360 minutes: most records hold fewer
    // entries than there are channels, the last one of a visit included.
    // Records at least 3 s apart, so a visit ends before the next one.
    SimProcess sim;
    const QString scenario = writeScenario(sim, RecordMinutes, 2, {120, 240, 360, 120, 240});
    QVERIFY(!scenario.isEmpty());
    const QString truth = sim.path(QStringLiteral("truth.csv"));
    QVERIFY(sim.start({"--scenario", scenario, "--speed", "2400", "--truth", truth}));
    const QString directory = sim.path(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(directory));

    int address = -1;
    int lineCount = 0;
    QString path;
    for (int visitNumber = 0; visitNumber < 4; ++visitNumber) {
        VisitResult result;
        {
            Visit visit(sim.port(), 5000);
            QVERIFY(visit.isConnected());
            QVERIFY(visit.waitForWrite(address));
            result = visit.run(directory);
        }
        QVERIFY(result.completed);
        QCOMPARE(result.saveResult, 0);
        if (visitNumber > 0)
            QCOMPARE(result.path, path);
        path = result.path;
        const SavedFile saved = readXml(path);
        QVERIFY(saved.ok);
        // Each visit follows a new record, which the file must gain.
        QVERIFY2(saved.lineCount > lineCount, qPrintable(QStringLiteral("visit %1: %2 lines, %3 before")
                                                             .arg(visitNumber + 1)
                                                             .arg(saved.lineCount)
                                                             .arg(lineCount)));
        lineCount = saved.lineCount;
        address = saved.page * 512 + saved.buffer;
        QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, result.deviceTime, saved).isEmpty(),
                                  qPrintable(QStringLiteral("visit %1\n").arg(visitNumber + 1) +
                                             checkTruth(truth, result.deviceTime, saved)),
                                  10000);
    }
}

void tst_DownloadSim::slowReplies_eachBlockRequestedOnce()
{
    // Every reply takes 100 ms, well within the 1 s reply time.
    SimProcess sim;
    const QString scenario = writeScenario(sim, 15, 4);
    QVERIFY(!scenario.isEmpty());
    const QString log = sim.path(QStringLiteral("requests.log"));
    QVERIFY(sim.start({"--scenario", scenario, "--speed", "0", "--delay-ms", "100", "--log", log}));
    const QString directory = sim.path(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(directory));

    VisitResult result;
    {
        Visit visit(sim.port(), 1000);
        QVERIFY(visit.isConnected());
        result = visit.run(directory);
    }
    QVERIFY(result.completed);
    QVERIFY(result.errors.isEmpty());
    QVERIFY(result.pages > 10);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    int blockRequests = 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        blockRequests += line.startsWith("AKT") ? 1 : 0;
    // One request per page and one more answered with the end marker.
    QCOMPARE(blockRequests, result.pages + 1);
}


void tst_DownloadSim::fileBegunMidMemory_everyValueDatedOnce()
{
    SimProcess sim;
    const QString scenario = writeScenario(sim);
    QVERIFY(!scenario.isEmpty());
    const QString truth = sim.path(QStringLiteral("truth.csv"));
    QVERIFY(sim.start({"--scenario", scenario, "--speed", QString::number(Speed), "--truth", truth}));
    QStringList dirs;
    for (const char *name : {"first", "taker", "nobase"}) {
        dirs << sim.path(QLatin1String(name));
        QVERIFY(QDir().mkpath(dirs.last()));
    }
    auto visit = [&](const QString &directory, int after, const QString &startFrom = QString(),
                     bool withBase = true) {
        Visit v(sim.port(), 5000);
        if (!v.isConnected() || !v.waitForWrite(after))
            return VisitResult();
        return v.run(directory, startFrom, withBase);
    };

    // One collector's visit, then another's that took the station over with
    // the stored point but not the file, and its next visit from its own file.
    const VisitResult first = visit(dirs.at(0), -1);
    QVERIFY(first.completed);
    const SavedFile a = readXml(first.path);
    QVERIFY(a.ok && a.lineCount > 50);
    const VisitResult taken = visit(dirs.at(1), a.page * 512 + a.buffer, first.path);
    QVERIFY(taken.completed);
    const SavedFile b1 = readXml(taken.path);
    QVERIFY(b1.ok && b1.lineCount > 0);
    QCOMPARE(b1.undated, 0);
    // The new file has no value after a clock setting: its base is kept.
    QVERIFY(!b1.timeBase.isEmpty());
    const VisitResult next = visit(dirs.at(1), b1.page * 512 + b1.buffer);
    QVERIFY(next.completed);
    QCOMPARE(next.path, taken.path);
    const SavedFile b = readXml(next.path);
    QVERIFY(b.lineCount > b1.lineCount);
    QCOMPARE(b.undated, 0);
    QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, next.deviceTime, a + b).isEmpty(),
                              qPrintable(checkTruth(truth, next.deviceTime, a + b)), 10000);

    // The same point without its base: the memory is read from its start for
    // the time stamps, and only what follows the point is saved, dated.
    const VisitResult blind = visit(dirs.at(2), b.page * 512 + b.buffer, first.path, false);
    QVERIFY(blind.completed);
    const SavedFile c = readXml(blind.path);
    QVERIFY(c.ok && c.lineCount >= b.lineCount);
    QCOMPARE(c.undated, 0);
    QTRY_VERIFY2_WITH_TIMEOUT(checkTruth(truth, blind.deviceTime, a + c).isEmpty(),
                              qPrintable(checkTruth(truth, blind.deviceTime, a + c)), 10000);
}

QTEST_GUILESS_MAIN(tst_DownloadSim)
#include "tst_downloadsim.moc"
