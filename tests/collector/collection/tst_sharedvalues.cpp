// Simulated loggers collected by several collectors sharing one PostgreSQL
// store, every saved value checked with its date and time against each
// logger's truth file: after a takeover without the other collector's files,
// around a collector frozen past its leases, and across a server restart.

#include "../common/simulator.h"
#include "support/datatruth.h"
#include "support/postgresserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <vector>

namespace {

// A record every simulated 15 minutes at 900 times real speed: one a second.
constexpr int loggerSpeed = 900;
// Published once by every visit that saves.
const QString savingStatus = QStringLiteral("Saving files..");

// A running collector and everything it printed.
struct Collector
{
    QString workdir;
    QProcess *process = nullptr;
    QByteArray output;
    QByteArray errors;

    // The station's last status is the end of a visit: none is running.
    bool idle(const QString &code) const
    {
        QByteArray last;
        for (const QByteArray &line : output.split('\n')) {
            const QList<QByteArray> cells = line.split('\t');
            if (cells.size() >= 4 && cells.at(2) == code.toUtf8())
                last = cells.at(3);
        }
        return last.startsWith("Download completed.");
    }

    int count(const QString &code, const QString &status) const
    {
        int n = 0;
        for (const QByteArray &line : output.split('\n')) {
            const QList<QByteArray> cells = line.split('\t');
            if (cells.size() >= 4 && cells.at(2) == code.toUtf8() && cells.at(3).startsWith(status.toUtf8()))
                ++n;
        }
        return n;
    }
};

// Whether a client holds, or is opening, a TCP connection to the port on
// this host (Linux's socket tables).
bool lineOpen(quint16 port)
{
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines.at(i).simplified().split(' ');
            // sl local rem st ...; 01 ESTABLISHED, 02 SYN_SENT, 03 SYN_RECV.
            if (f.size() > 3 && (f.at(3) == "01" || f.at(3) == "02" || f.at(3) == "03") &&
                f.at(2).split(':').value(1).toUShort(nullptr, 16) == port)
                return true;
        }
    }
    return false;
}

// Whether every thread of the process has stopped (a stop signal reaches
// them a moment after kill() returns).
bool stopped(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (ids.isEmpty())
        return false;
    for (const QString &id : ids) {
        QFile stat(tasks.filePath(id + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        // pid (comm) state ...: the name may hold anything, the state follows its ')'.
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        if (close < 0 || line.mid(close + 2, 1) != "T")
            return false;
    }
    return true;
}

} // namespace

class tst_SharedValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void takeoverWithoutTheFiles_everyValueOnceAtItsTime();
    void frozenCollector_savesNothingTwice_reportsTheLostLease();
    void serverRestartedUnderThreeCollectors_everyValueOnce();
    void heldStoreSilentKilledAfterCommit_everyValueOnceInOneFolder();
    void frozenBetweenCommitAndFile_oneSharedFolderHoldsEachValueOnceInOrder();
    void serverAwayTwiceTheLease_everyValueOnce();

private:
    bool startLoggers(const QString &prefix, int count, const QStringList &extra = {});
    // Registers the loggers (files under each collector's own working folder).
    bool addStations(const QString &name);
    // folder: the working folder's name (default: the collector's own).
    Collector *collector(const QString &name, const QStringList &args = {"--headless"},
                         const QString &folder = {},
                         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    bool finish(Collector *c);
    // Empty when, for every station, the union of the collectors' files is
    // exactly what its logger wrote, each value once and dated.
    QString checkValues(const QStringList &collectors) const;

    std::unique_ptr<PostgresServer> server;
    std::unique_ptr<QTemporaryDir> dir;
    std::vector<std::unique_ptr<Simulator>> loggers;
    QStringList codes;
    std::map<QString, std::unique_ptr<Collector>> collectors;
};

void tst_SharedValues::initTestCase()
{
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    server = std::make_unique<PostgresServer>();
    QVERIFY2(server->start(), qPrintable(server->error()));
    // Visits every 3 s (periods of 60 minutes of 50 ms), leases of 3 s.
    qputenv("TQM510_MINUTE_MS", "50");
    qputenv("TQM510_LEASE_SECONDS", "3");
    qputenv("TQM510_LEASE_RENEW_MS", "500");
}

void tst_SharedValues::cleanup()
{
    // What the collectors said, for the failure's reader.
    if (QTest::currentTestFailed()) {
        for (auto &c : collectors) {
            const QList<QByteArray> lines = c.second->output.split('\n');
            qInfo("--- %s, last lines:", qPrintable(c.first));
            for (int i = qMax(0, int(lines.size()) - 40); i < lines.size(); ++i)
                qInfo("%s", lines.at(i).constData());
        }
    }
    for (auto &c : collectors) {
        if (c.second->process->state() != QProcess::NotRunning) {
            ::kill(pid_t(c.second->process->processId()), SIGCONT);
            c.second->process->kill();
            c.second->process->waitForFinished(5000);
        }
    }
    collectors.clear();
    loggers.clear();
    codes.clear();
    dir.reset();
    if (server) {
        QSqlDatabase db = server->connect(QStringLiteral("cleanup"));
        QSqlQuery q(db);
        for (const char *table :
             {"stations", "station_resume", "station_leases", "collectors", "station_stats", "station_values",
              "station_commits", "station_file_headers", "channel_alarms"})
            q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cleanup"));
}

bool tst_SharedValues::startLoggers(const QString &prefix, int count, const QStringList &extra)
{
    dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < count; ++i) {
        const QString code = prefix + QStringLiteral("%1").arg(i, 2, 10, QChar('0'));
        loggers.push_back(std::make_unique<Simulator>());
        if (!loggers.back()->start(
                dir->path(), code, QStringLiteral(R"({"station": {"code": "%1"}})").arg(code).toUtf8(),
                QStringList{QStringLiteral("--speed"), QString::number(loggerSpeed)} + extra)) {
            qWarning("%s: %s", qPrintable(code), qPrintable(loggers.back()->error()));
            return false;
        }
        codes << code;
    }
    return true;
}

bool tst_SharedValues::addStations(const QString &name)
{
    QStringList args;
    for (int i = 0; i < codes.size(); ++i)
        args << QStringLiteral("--add-station")
             << QStringLiteral("%1,127.0.0.1,%2,files/%1").arg(codes.at(i)).arg(loggers.at(size_t(i))->port);
    Collector *adding = collector(name, args);
    return finish(adding) && adding->process->exitCode() == 0;
}

Collector *tst_SharedValues::collector(const QString &name, const QStringList &args, const QString &folder,
                                       const QProcessEnvironment &env)
{
    auto c = std::make_unique<Collector>();
    c->workdir = dir->filePath(folder.isEmpty() ? name : folder);
    QDir().mkpath(c->workdir);
    c->process = new QProcess(this);
    c->process->setProcessChannelMode(QProcess::SeparateChannels);
    c->process->setProcessEnvironment(env);
    c->process->setReadChannel(QProcess::StandardOutput);
    Collector *raw = c.get();
    connect(c->process, &QProcess::readyReadStandardOutput, this,
            [raw]() { raw->output += raw->process->readAllStandardOutput(); });
    connect(c->process, &QProcess::readyReadStandardError, this,
            [raw]() { raw->errors += raw->process->readAllStandardError(); });
    // Started from its working folder's parent: the station folders are the
    // working folder's, not the current one's.
    c->process->setWorkingDirectory(dir->path());
    c->process->start(qEnvironmentVariable("TQM510"),
                      QStringList{QStringLiteral("--workdir"), c->workdir, QStringLiteral("--database"),
                                  server->url(), QStringLiteral("--collector-id"), name} +
                          args);
    collectors[name + QString::number(collectors.size())] = std::move(c);
    return raw;
}

bool tst_SharedValues::finish(Collector *c)
{
    if (c->process->state() == QProcess::Running)
        c->process->terminate();
    const bool ended = c->process->waitForFinished(30000);
    c->output += c->process->readAllStandardOutput();
    return ended && c->process->exitStatus() == QProcess::NormalExit;
}

QString tst_SharedValues::checkValues(const QStringList &names) const
{
    QStringList problems;
    for (int i = 0; i < codes.size(); ++i) {
        QStringList folders;
        for (const QString &name : names)
            folders << QDir(dir->filePath(name)).filePath(QStringLiteral("files/") + codes.at(i));
        const datatruth::Saved saved = datatruth::readFolders(folders);
        const QString mismatch =
            datatruth::prefixMismatch(datatruth::readTruth(loggers.at(size_t(i))->truthPath()), saved);
        if (saved.lineCount == 0)
            problems << codes.at(i) + QStringLiteral(": nothing saved");
        else if (!mismatch.isEmpty())
            problems << codes.at(i) + QStringLiteral(": ") + mismatch;
    }
    return problems.join(QLatin1Char('\n'));
}

void tst_SharedValues::takeoverWithoutTheFiles_everyValueOnceAtItsTime()
{
    QVERIFY(startLoggers(QStringLiteral("T"), 1));
    QVERIFY(addStations(QStringLiteral("a")));
    const QString truth = loggers.front()->truthPath();
    auto visitOnce = [&](const QString &name) {
        // After the logger wrote more: each visit has something new to save.
        const int before = int(datatruth::readTruth(truth).size());
        QTRY_VERIFY_WITH_TIMEOUT(datatruth::readTruth(truth).size() > before + 2, 20000);
        Collector *c = collector(name, {"--headless", "--once"});
        QVERIFY(finish(c));
        QCOMPARE(c->process->exitCode(), 0);
        QCOMPARE(c->count(codes.front(), savingStatus), 1);
    };
    visitOnce(QStringLiteral("a"));
    // The second collector has none of the first one's files: it resumes from
    // the store's point, time base included, and then from its own file,
    // whose first line follows no clock setting.
    visitOnce(QStringLiteral("b"));
    visitOnce(QStringLiteral("b"));
    visitOnce(QStringLiteral("b"));
    const datatruth::Saved a = datatruth::readFolders({dir->filePath("a/files/T00")});
    const datatruth::Saved b = datatruth::readFolders({dir->filePath("b/files/T00")});
    QVERIFY(a.lineCount > 100);
    QVERIFY(b.lineCount > 0);
    QVERIFY(!b.timeBase.isEmpty());
    // The truth file follows the logger's memory a moment later.
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b"}).isEmpty(), qPrintable(checkValues({"a", "b"})), 5000);

    // Read from a's folder with the store, every value is there, b's too.
    QStringList files;
    for (const QString &name :
         QDir(dir->filePath("a/files/T00")).entryList({QStringLiteral("*.xml")}, QDir::Files))
        files << dir->filePath(QStringLiteral("a/files/T00/") + name);
    QProcess cli;
    cli.start(qEnvironmentVariable("NEXIL_CLI"),
              QStringList{QStringLiteral("export")} + files +
                  QStringList{QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--database"),
                              server->url()});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    int instants = 0;
    const QString mismatch =
        datatruth::exportMismatch(cli.readAllStandardOutput(), datatruth::readTruth(truth), &instants);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    // Every instant value either folder holds, not just a's.
    int saved = 0;
    const datatruth::Saved both = a + b;
    for (auto it = both.lines.constBegin(); it != both.lines.constEnd(); ++it)
        saved += it.key().section(QLatin1Char(' '), 1, 1) == QLatin1String("INS") ? it.value() : 0;
    QCOMPARE(instants, saved);
}

void tst_SharedValues::frozenCollector_savesNothingTwice_reportsTheLostLease()
{
    // Visits every 6 s: a collector frozen between two visits holds no
    // logger's line (a logger answers one connection at a time).
    qputenv("TQM510_MINUTE_MS", "100");
    auto restore = qScopeGuard([] { qputenv("TQM510_MINUTE_MS", "50"); });
    QVERIFY(startLoggers(QStringLiteral("F"), 4));
    QVERIFY(addStations(QStringLiteral("a")));
    Collector *a = collector(QStringLiteral("a"));
    auto allIdle = [&]() {
        for (size_t i = 0; i < loggers.size(); ++i)
            if (a->count(codes.at(int(i)), savingStatus) < 1 || !a->idle(codes.at(int(i))) ||
                lineOpen(loggers.at(i)->port))
                return false;
        return true;
    };
    // Frozen between visits, well past its leases, while another collector
    // takes over. A visit may begin between the look and the stop: caught
    // with its line open, it is let go on and the stop tried again.
    const qint64 pid = a->process->processId();
    const QDeadlineTimer freezing(60000);
    bool frozen = false;
    while (!frozen && !freezing.hasExpired()) {
        QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 30000);
        QVERIFY(::kill(pid_t(pid), SIGSTOP) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(stopped(pid), 5000);
        frozen = std::none_of(loggers.begin(), loggers.end(),
                              [](const std::unique_ptr<Simulator> &l) { return lineOpen(l->port); });
        if (!frozen)
            QVERIFY(::kill(pid_t(pid), SIGCONT) == 0);
    }
    QVERIFY2(frozen, "the collector was never idle when stopped");
    Collector *b = collector(QStringLiteral("b"));
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(b->count(code, savingStatus) >= 2, 90000);

    const int before = a->output.size();
    QVERIFY(::kill(pid_t(a->process->processId()), SIGCONT) == 0);
    // Thawed, it learns that b holds its stations and says so.
    QTRY_VERIFY_WITH_TIMEOUT(a->output.mid(before).contains("now held by b"), 30000);
    // Both go on, sharing the stations again, for a few more visits.
    for (const QString &code : qAsConst(codes)) {
        const int seen = a->count(code, savingStatus) + b->count(code, savingStatus);
        QTRY_VERIFY_WITH_TIMEOUT(a->count(code, savingStatus) + b->count(code, savingStatus) >= seen + 2,
                                 60000);
    }
    QVERIFY(finish(a));
    QVERIFY(finish(b));
    // The truth file follows the logger's memory a moment later.
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b"}).isEmpty(), qPrintable(checkValues({"a", "b"})), 5000);
}

void tst_SharedValues::serverRestartedUnderThreeCollectors_everyValueOnce()
{
    // Leases outlast the restart, even on a busy machine where stopping and
    // starting the server takes seconds: each station stays with its collector.
    qputenv("TQM510_LEASE_SECONDS", "30");
    qputenv("TQM510_LEASE_RENEW_MS", "1000");
    auto restore = qScopeGuard([] {
        qputenv("TQM510_LEASE_SECONDS", "3");
        qputenv("TQM510_LEASE_RENEW_MS", "500");
    });
    QVERIFY(startLoggers(QStringLiteral("R"), 15));
    QVERIFY(addStations(QStringLiteral("a")));
    QList<Collector *> running;
    for (const char *name : {"a", "b", "c"})
        running << collector(QLatin1String(name));
    auto completed = [&](const QString &code) {
        int n = 0;
        for (Collector *c : qAsConst(running))
            n += c->count(code, savingStatus);
        return n;
    };
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(completed(code) >= 1, 60000);

    QVERIFY(server->stopServer());
    // While the server is away nothing is downloaded: what the store has not
    // committed, no file gets.
    QHash<QString, int> before;
    for (const QString &code : qAsConst(codes))
        before.insert(code, completed(code));
    auto silent = [&]() {
        int n = 0;
        for (Collector *c : qAsConst(running))
            n += c->count(codes.first(), QStringLiteral("The station store does not answer"));
        return n;
    };
    QTRY_VERIFY_WITH_TIMEOUT(silent() > 0, 40000);
    QVERIFY(server->startServer());
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(completed(code) >= before.value(code) + 2, 60000);

    for (Collector *c : qAsConst(running))
        QVERIFY(finish(c));
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b", "c"}).isEmpty(),
                              qPrintable(checkValues({"a", "b", "c"})), 5000);
    // The resume points kept during the restart reached the store.
    QSqlDatabase db = server->connect(QStringLiteral("check"));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM station_resume WHERE time_base <> ''")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), codes.size());
    db.close();
}

void tst_SharedValues::heldStoreSilentKilledAfterCommit_everyValueOnceInOneFolder()
{
    QVERIFY(startLoggers(QStringLiteral("K"), 2));
    QVERIFY(addStations(QStringLiteral("a")));
    QSqlDatabase leasesDb = server->connect(QStringLiteral("leases"));
    auto closeLeases = qScopeGuard([&] {
        leasesDb.close();
        leasesDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("leases"));
    });
    auto expired = [&]() {
        QSqlQuery q(leasesDb);
        return q.exec(QStringLiteral("SELECT count(*) FROM station_leases WHERE holder <> '' "
                                     "AND expires_at > now()")) &&
               q.next() && q.value(0).toInt() == 0;
    };
    auto waitForMore = [&]() {
        const int before = int(datatruth::readTruth(loggers.front()->truthPath()).size());
        QTRY_VERIFY_WITH_TIMEOUT(datatruth::readTruth(loggers.front()->truthPath()).size() > before + 2,
                                 20000);
    };
    const QStringList once{QStringLiteral("--headless"), QStringLiteral("--once")};

    // Every station held by a running collector: a single round visits
    // nothing, says so and fails.
    Collector *a = collector(QStringLiteral("a"));
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(a->count(code, savingStatus) >= 1, 30000);
    Collector *held = collector(QStringLiteral("b"), once);
    QVERIFY(finish(held));
    QCOMPARE(held->process->exitCode(), 1);
    QVERIFY2(held->errors.contains("No station visited"), held->errors.constData());
    QVERIFY(finish(a));

    // b takes over while the store does not answer its question for the
    // resume point: it downloads nothing and saves nothing, and later
    // resumes where a's committed values end, without a's files.
    QSqlDatabase lockDb = server->connect(QStringLiteral("lock"));
    QSqlQuery lock(lockDb);
    QVERIFY(lockDb.transaction());
    QVERIFY(lock.exec(QStringLiteral("LOCK TABLE station_resume IN ACCESS EXCLUSIVE MODE")));
    waitForMore();
    QProcessEnvironment quick = QProcessEnvironment::systemEnvironment();
    quick.insert(QStringLiteral("TQM510_STORE_ANSWER_MS"), QStringLiteral("1500"));
    Collector *silent = collector(QStringLiteral("b"), once, {}, quick);
    QTRY_VERIFY_WITH_TIMEOUT(
        silent->count(codes.first(), QStringLiteral("The station store does not answer")) >= 1, 30000);
    QVERIFY(lockDb.rollback());
    lock.clear();
    lockDb.close();
    lockDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("lock"));
    QVERIFY(finish(silent));
    QCOMPARE(silent->process->exitCode(), 1);
    QCOMPARE(silent->count(codes.first(), savingStatus), 0);
    QVERIFY(!QDir(dir->filePath(QStringLiteral("b/files/") + codes.first())).exists() ||
            datatruth::readFolders({dir->filePath(QStringLiteral("b/files/") + codes.first())}).lineCount ==
                0);
    QTRY_VERIFY_WITH_TIMEOUT(expired(), 20000);
    waitForMore();
    Collector *b = collector(QStringLiteral("b"), once);
    QVERIFY(finish(b));
    QCOMPARE(b->process->exitCode(), 0);
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b"}).isEmpty(), qPrintable(checkValues({"a", "b"})), 5000);

    // b killed once its values are committed, before its files: c, another
    // collector in the same folder, writes them there once, with its own.
    waitForMore();
    QProcessEnvironment kill = QProcessEnvironment::systemEnvironment();
    kill.insert(QStringLiteral("TQM510_KILL_AT"), QStringLiteral("after-commit"));
    Collector *killed = collector(QStringLiteral("b"), once, {}, kill);
    QVERIFY(killed->process->waitForFinished(30000));
    QCOMPARE(killed->process->exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(expired(), 20000);
    waitForMore();
    Collector *c = collector(QStringLiteral("c"), once, QStringLiteral("b"));
    QVERIFY(finish(c));
    QCOMPARE(c->process->exitCode(), 0);
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b"}).isEmpty(), qPrintable(checkValues({"a", "b"})), 5000);
}

void tst_SharedValues::frozenBetweenCommitAndFile_oneSharedFolderHoldsEachValueOnceInOrder()
{
    // The logger's modem drops a line silent for 2 s, as a frozen
    // collector's would be.
    QVERIFY(
        startLoggers(QStringLiteral("Z"), 1, {QStringLiteral("--idle-hangup-ms"), QStringLiteral("2000")}));
    QVERIFY(addStations(QStringLiteral("shared")));
    // a freezes right after its first commit, its values not yet in the
    // file; b, in the same folder, takes the station over and visits.
    QProcessEnvironment freeze = QProcessEnvironment::systemEnvironment();
    freeze.insert(QStringLiteral("TQM510_KILL_AT"), QStringLiteral("stop-after-commit"));
    Collector *a = collector(QStringLiteral("a"), {"--headless"}, QStringLiteral("shared"), freeze);
    const qint64 pid = a->process->processId();
    QTRY_VERIFY_WITH_TIMEOUT(stopped(pid), 30000);
    Collector *b = collector(QStringLiteral("b"), {"--headless"}, QStringLiteral("shared"));
    QTRY_VERIFY_WITH_TIMEOUT(b->count(codes.first(), savingStatus) >= 2 && b->idle(codes.first()), 60000);
    // Thawed, a writes what it committed (b already did: nothing twice),
    // and learns that b holds the station.
    QVERIFY(::kill(pid_t(pid), SIGCONT) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(a->output.contains("now held by b"), 30000);
    const int seen = b->count(codes.first(), savingStatus);
    QTRY_VERIFY_WITH_TIMEOUT(b->count(codes.first(), savingStatus) >= seen + 1, 30000);
    QVERIFY(finish(a));
    QVERIFY(finish(b));
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"shared"}).isEmpty(), qPrintable(checkValues({"shared"})), 5000);
    const QString folder = dir->filePath(QStringLiteral("shared/files/") + codes.first());
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString order = datatruth::orderMismatch(QDir(folder).filePath(files.first()),
                                                   datatruth::readTruth(loggers.front()->truthPath()));
    QVERIFY2(order.isEmpty(), qPrintable(order));
}

void tst_SharedValues::serverAwayTwiceTheLease_everyValueOnce()
{
    QVERIFY(startLoggers(QStringLiteral("O"), 4));
    QVERIFY(addStations(QStringLiteral("a")));
    QList<Collector *> running{collector(QStringLiteral("a")), collector(QStringLiteral("b"))};
    auto saved = [&](const QString &code) {
        int n = 0;
        for (Collector *c : qAsConst(running))
            n += c->count(code, savingStatus);
        return n;
    };
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(saved(code) >= 1, 60000);
    // Away for twice the lease (3 s): every lease expires, and both
    // collectors take stations anew when it is back, maybe each other's.
    QVERIFY(server->stopServer());
    QElapsedTimer away;
    away.start();
    auto silent = [&]() {
        int n = 0;
        for (Collector *c : qAsConst(running))
            n += c->count(codes.first(), QStringLiteral("The station store does not answer"));
        return n;
    };
    QTRY_VERIFY_WITH_TIMEOUT(away.elapsed() >= 6000 && silent() >= 1, 40000);
    QVERIFY(server->startServer());
    QHash<QString, int> before;
    for (const QString &code : qAsConst(codes))
        before.insert(code, saved(code));
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(saved(code) >= before.value(code) + 2, 60000);

    // The operator drops the months kept so far: the collectors make them
    // again for what comes next, and the files go on as they stand.
    QList<int> said;
    for (Collector *c : qAsConst(running))
        said << c->output.size();
    {
        QSqlDatabase db = server->connect(QStringLiteral("months"));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT inhrelid::regclass::text FROM pg_inherits "
                                      "WHERE inhparent = 'station_values'::regclass")));
        QStringList months;
        while (q.next())
            months << q.value(0).toString();
        QVERIFY(!months.isEmpty());
        for (const QString &month : qAsConst(months))
            QVERIFY(q.exec(QStringLiteral("DROP TABLE %1").arg(month)));
        q.clear();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("months"));
    for (const QString &code : qAsConst(codes))
        before.insert(code, saved(code));
    for (const QString &code : qAsConst(codes))
        QTRY_VERIFY_WITH_TIMEOUT(saved(code) >= before.value(code) + 2, 60000);
    for (Collector *c : qAsConst(running))
        QVERIFY(finish(c));
    for (int i = 0; i < running.size(); ++i) {
        const QByteArray since = running.at(i)->output.mid(said.at(i));
        QVERIFY2(!since.contains("Nothing saved"),
                 since.mid(since.indexOf("Nothing saved"), 300).constData());
    }
    QTRY_VERIFY2_WITH_TIMEOUT(checkValues({"a", "b"}).isEmpty(), qPrintable(checkValues({"a", "b"})), 5000);
}

QTEST_GUILESS_MAIN(tst_SharedValues)
#include "tst_sharedvalues.moc"
