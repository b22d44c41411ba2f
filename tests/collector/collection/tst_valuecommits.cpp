// A collector on the default SQLite store killed at each step of a save,
// and its data file cut at a random byte: every value the logger wrote is
// in the file once, at its time, in the logger's order, whatever happened.

#include "../common/simulator.h"
#include "support/datatruth.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
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

    QTemporaryDir dir;
    Simulator logger;
    QString workdir;
    QString database;
    QByteArray lastErrors;
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
    const QString path = dataFile();
    const datatruth::Saved saved = datatruth::readXml(path);
    const QList<datatruth::Row> rows = datatruth::readTruth(logger.truthPath());
    const QString mismatch = datatruth::prefixMismatch(rows, saved);
    if (!mismatch.isEmpty())
        return mismatch;
    return datatruth::orderMismatch(path, rows);
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

QTEST_GUILESS_MAIN(tst_ValueCommits)
#include "tst_valuecommits.moc"
