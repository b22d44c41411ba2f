// A collector on the default SQLite store killed at each step of a save,
// and its data file cut at a random byte: every value the logger wrote is
// in the file once, at its time, in the logger's order, whatever happened.

#include "../common/simulator.h"
#include "store/readablefiles.h"
#include "support/datatruth.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A record every simulated 15 minutes at 900 times real speed: one a second.
constexpr int loggerSpeed = 900;

} // namespace

class tst_ValueCommits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedAtEachStepOfTheSave_thenCutFiles_everyValueOnceInOrder();

private:
    // One --once round; the exit status, or -1 when it was killed.
    int visit(const QByteArray &killAt = QByteArray());
    QString dataFile() const;
    // Waits until the logger has written more.
    void waitForMore();
    QString check() const;
    QString check(const QString &path) const;
    // Every value once at its time, each channel's values of a kind in time
    // order (a reader's view need not keep the device's order).
    QString checkUnion(const QString &path) const;
    // Readers of a torn copy in another folder, and of the store alone, see
    // every value once; names from the store stay inside their folders.
    void readersJoinTheStore();

    QTemporaryDir dir;
    Simulator logger;
    QString workdir;
    QString database;
    QByteArray lastErrors;
    QString failedAt; // a value flagged failed in the store
};

void tst_ValueCommits::initTestCase()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QVERIFY(dir.isValid());
    QVERIFY2(logger.start(dir.path(), QStringLiteral("V01"), R"({"station": {"code": "V01"}})",
                          {QStringLiteral("--speed"), QString::number(loggerSpeed)}),
             qPrintable(logger.error()));
    workdir = dir.filePath(QStringLiteral("work"));
    database = dir.filePath(QStringLiteral("data.db"));
    QDir().mkpath(workdir);
    QProcess add;
    add.setWorkingDirectory(dir.path());
    add.start(qEnvironmentVariable("TQM510"),
              {QStringLiteral("--workdir"), workdir, QStringLiteral("--database"), database,
               QStringLiteral("--add-station"),
               QStringLiteral("V01,127.0.0.1,%1,files/V01").arg(logger.port)});
    QVERIFY(add.waitForFinished(30000));
    QCOMPARE(add.exitCode(), 0);
}

int tst_ValueCommits::visit(const QByteArray &killAt)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TQM510_KILL_AT"), QString::fromLatin1(killAt));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(qEnvironmentVariable("TQM510"),
            {QStringLiteral("--workdir"), workdir, QStringLiteral("--database"), database,
             QStringLiteral("--headless"), QStringLiteral("--once")});
    if (!p.waitForFinished(60000))
        return -2;
    lastErrors = p.readAllStandardError();
    return p.exitStatus() == QProcess::CrashExit ? -1 : p.exitCode();
}

QString tst_ValueCommits::dataFile() const
{
    const QStringList names = QDir(workdir + QStringLiteral("/files/V01")).entryList({"*.xml"}, QDir::Files);
    return names.isEmpty() ? QString() : workdir + QStringLiteral("/files/V01/") + names.first();
}

void tst_ValueCommits::waitForMore()
{
    const int before = int(datatruth::readTruth(logger.truthPath()).size());
    QTRY_VERIFY_WITH_TIMEOUT(datatruth::readTruth(logger.truthPath()).size() > before + 2, 20000);
}

QString tst_ValueCommits::check() const
{
    return check(dataFile());
}

QString tst_ValueCommits::check(const QString &path) const
{
    const datatruth::Saved saved = datatruth::readXml(path);
    const QList<datatruth::Row> rows = datatruth::readTruth(logger.truthPath());
    const QString mismatch = datatruth::prefixMismatch(rows, saved);
    if (!mismatch.isEmpty())
        return mismatch;
    return datatruth::orderMismatch(path, rows);
}

QString tst_ValueCommits::checkUnion(const QString &path) const
{
    const QString mismatch =
        datatruth::prefixMismatch(datatruth::readTruth(logger.truthPath()), datatruth::readXml(path));
    if (!mismatch.isEmpty())
        return mismatch;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    QXmlStreamReader xml(&file);
    QHash<QString, QString> last;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("line"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString series = a.value("channel") + QLatin1Char(' ') + a.value("dataType");
        const QString at = a.value("date") + QLatin1Char(' ') + a.value("time");
        if (at < last.value(series))
            return QStringLiteral("%1 at %2 after %3").arg(series, at, last.value(series));
        last.insert(series, at);
    }
    return xml.hasError() ? xml.errorString() : QString();
}

void tst_ValueCommits::killedAtEachStepOfTheSave_thenCutFiles_everyValueOnceInOrder()
{
    waitForMore();
    QCOMPARE(visit(), 0);
    QVERIFY2(check().isEmpty(), qPrintable(check()));
    const int first = datatruth::readXml(dataFile()).lineCount;
    QVERIFY(first > 0);

    // Killed once the values are committed, before the file: the next round
    // writes them and its own, and downloads none of them again.
    for (const char *step : {"after-commit", "after-file"}) {
        waitForMore();
        QCOMPARE(visit(QByteArray(step)), -1);
        waitForMore();
        QCOMPARE(visit(), 0);
        QVERIFY2(check().isEmpty(), qPrintable(QLatin1String(step) + QStringLiteral(": ") + check()));
    }
    QVERIFY(datatruth::readXml(dataFile()).lineCount > first);

    // Cut at a random byte among the lines: the intact part stays and the
    // store brings back the rest.
    const QString path = dataFile();
    QFile file(path);
    const qint64 size = file.size();
    const qint64 cut = size / 2 + qint64(QRandomGenerator::global()->bounded(int(size / 2 - 20)));
    QVERIFY(file.resize(cut));
    waitForMore();
    QCOMPARE(visit(), 0);
    QVERIFY2(check().isEmpty(), qPrintable(QStringLiteral("cut at %1: ").arg(cut) + check()));
    QVERIFY(lastErrors.contains("intact part is kept"));
    readersJoinTheStore();
    if (QTest::currentTestFailed())
        return;

    // The store's rows gone as well: the intact part is kept and extended,
    // never replaced by less; what was cut off cannot come back.
    const int whole = datatruth::readXml(path).lineCount;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(database);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM station_values")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    QVERIFY(file.resize(file.size() - 100));
    waitForMore();
    QCOMPARE(visit(), 0);
    QVERIFY(lastErrors.contains("intact part is kept"));
    const datatruth::Saved kept = datatruth::readXml(path);
    QVERIFY(kept.ok);
    QCOMPARE(kept.undated, 0);
    QVERIFY(kept.lineCount > whole - 3);
    // Each value at most once, and those kept in the logger's order.
    for (auto it = kept.lines.constBegin(); it != kept.lines.constEnd(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    const QString order = datatruth::orderMismatch(path, datatruth::readTruth(logger.truthPath()));
    QVERIFY2(order.isEmpty(), qPrintable(order));
}

void tst_ValueCommits::readersJoinTheStore()
{
    const QString path = dataFile();
    const QString fileName = QFileInfo(path).fileName();
    QTemporaryDir cache;
    const QString other = dir.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    const QString copy = QDir(other).filePath(fileName);
    QVERIFY(QFile::copy(path, copy));
    QFile torn(copy);
    QVERIFY(torn.resize(torn.size() / 3));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("readers"));
        db.setDatabaseName(database);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT id FROM stations")) && q.next());
        const int station = q.value(0).toInt();
        // One value judged failed: the exports with the store say so.
        QVERIFY(q.exec(QStringLiteral("SELECT min(at) FROM station_values WHERE value_type = 'INS' AND "
                                      "channel = 0")) &&
                q.next());
        failedAt = q.value(0).toString();
        QVERIFY(q.exec(QStringLiteral("UPDATE station_values SET flag = 4 WHERE value_type = 'INS' AND "
                                      "channel = 0 AND at = '%1'")
                           .arg(failedAt)));
        // Hostile names in the commits: never a path, never read.
        for (const char *name : {"../../escape.xml", "/tmp/abs.xml", "sub/inner.xml", ".hidden.xml"})
            QVERIFY(q.exec(
                QStringLiteral("INSERT INTO station_commits (station_id, file, destination, commit_no, "
                               "page, buffer) VALUES (%1, '%2', 'elsewhere', 1, 0, 0)")
                    .arg(station)
                    .arg(QLatin1String(name))));
        ReadableFiles readable(cache.path());
        const ReadableFiles::StoreRun here = [](const std::function<bool(const QString &)> &question) {
            return question(QStringLiteral("readers"));
        };
        QStringList files;
        QString problem;
        // The collector's own folder holds all: read as it is.
        QVERIFY2(readable.files(station, ReadableFiles::destinationOf(QFileInfo(path).path()), {path}, true,
                                here, &files, &problem),
                 qPrintable(problem));
        QCOMPARE(files, QStringList{path});
        // A torn copy elsewhere: joined with the store, whole and in order.
        QVERIFY2(readable.files(station, ReadableFiles::destinationOf(other), {copy}, true, here, &files,
                                &problem),
                 qPrintable(problem));
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().startsWith(cache.path() + QLatin1Char('/')));
        QVERIFY2(checkUnion(files.first()).isEmpty(), qPrintable(checkUnion(files.first())));
        // No copy at all: the store's header and values.
        QVERIFY2(readable.files(station, QString(), {}, true, here, &files, &problem), qPrintable(problem));
        QCOMPARE(files.size(), 1);
        QVERIFY2(checkUnion(files.first()).isEmpty(), qPrintable(checkUnion(files.first())));
        QCOMPARE(QDir(cache.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"1"});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("escape.xml"))));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM station_commits WHERE destination = 'elsewhere'")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("readers"));

    // nexil-cli reads the torn copy together with the store: every instant
    // value of the logger at its time.
    QProcess cli;
    cli.start(qEnvironmentVariable("NEXIL_CLI"),
              {QStringLiteral("export"), copy, QStringLiteral("--format"), QStringLiteral("csv"),
               QStringLiteral("--database"), database});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    int instants = 0;
    const QString mismatch = datatruth::exportMismatch(cli.readAllStandardOutput(),
                                                       datatruth::readTruth(logger.truthPath()), &instants);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(instants > 20);

    // ZRXP with the store: each value's status its flag (no checks are set:
    // not evaluated, but for the one failed); without it, no status.
    QMap<QString, int> statuses;
    const QByteArray failedStamp = QString(failedAt).remove(QRegularExpression("[- :]")).toLatin1() + "00";
    for (const bool withStore : {true, false}) {
        // (The torn copy alone is no data file: the collector's own is read.)
        QStringList args{QStringLiteral("export"), withStore ? copy : dataFile(), QStringLiteral("--format"),
                         QStringLiteral("zrxp"),   QStringLiteral("--channels"),  QStringLiteral("0")};
        if (withStore)
            args << QStringLiteral("--database") << database;
        cli.start(qEnvironmentVariable("NEXIL_CLI"), args);
        QVERIFY(cli.waitForFinished(60000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        const QList<QByteArray> lines = cli.readAllStandardOutput().split('\n');
        QVERIFY(
            lines.contains(withStore ? "#LAYOUT(timestamp,value,status)|*|" : "#LAYOUT(timestamp,value)|*|"));
        for (const QByteArray &line : lines) {
            const QList<QByteArray> cells = line.split(' ');
            if (line.startsWith('#') || line.isEmpty())
                continue;
            QCOMPARE(cells.size(), withStore ? 3 : 2);
            if (withStore)
                ++statuses[QString::fromLatin1(cells.at(0) == failedStamp ? "failed " : "other ") +
                           QString::fromLatin1(cells.at(2))];
        }
    }
    QCOMPARE(statuses.value(QStringLiteral("failed 4")), 1);
    QCOMPARE(statuses.keys(), (QStringList{"failed 4", "other 2"}));
}

QTEST_GUILESS_MAIN(tst_ValueCommits)
#include "tst_valuecommits.moc"
