#include "collection/collectionoptions.h"
#include "collection/serviceconfig.h"
#include "store/databaseurl.h"

#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The administrator's configuration file and credentials, and how they sit
// over settings.ini and under the command line.
class tst_ServiceConfig : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ServiceConfig::setCurrent(ServiceConfig()); }

    void valuesAreKeptWhole();
    void badLinesAreReportedWithTheirNumber_data();
    void badLinesAreReportedWithTheirNumber();
    void layersOverSettingsWithCredentials();
    void programTakesTheFileBetweenEnvironmentAndSettings();

private:
    static bool write(const QString &path, const QByteArray &text);
};

bool tst_ServiceConfig::write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

void tst_ServiceConfig::valuesAreKeptWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tqm510.conf"));
    QVERIFY(write(path, "# the service's settings\n"
                        "\n"
                        "  ; another comment\n"
                        "smtpPassword = pa,ss;w0rd \"q\" \\ = x\n"
                        "SMTPUSER=ops@example.org\r\n"
                        "smtpFrom = \"  collector, station net  \"\n"
                        "retryMinutes = 1, 4,9\n"
                        "clockSync = off\n"
                        "smtpServer =\n"
                        "fontsize = 12\n"
                        "collectorId = north # not a comment\n"
                        "web = [::1]:8510\n"
                        "database = postgresql://dsi@%2Frun%2Fpostgresql/stations\n"));
    ServiceConfig config;
    QString error;
    QVERIFY2(config.load(path, &error), qPrintable(error));
    QCOMPARE(config.value(QStringLiteral("smtpPassword")), QStringLiteral("pa,ss;w0rd \"q\" \\ = x"));
    QCOMPARE(config.value(QStringLiteral("smtpUser")), QStringLiteral("ops@example.org"));
    QCOMPARE(config.value(QStringLiteral("smtpFrom")), QStringLiteral("  collector, station net  "));
    QCOMPARE(config.value(QStringLiteral("collectorId")), QStringLiteral("north # not a comment"));
    QCOMPARE(config.value(QStringLiteral("web")), QStringLiteral("[::1]:8510"));
    // Given empty is given: it overrides settings.ini (no mail here).
    QVERIFY(config.contains(QStringLiteral("smtpServer")));
    QVERIFY(config.value(QStringLiteral("smtpServer")).isEmpty());
    QVERIFY(!config.contains(QStringLiteral("lang")));
    // A key of the window is skipped, with a warning that names it.
    QVERIFY(!config.contains(QStringLiteral("fontsize")));
    QCOMPARE(config.warnings().size(), 1);
    QVERIFY(config.warnings().constFirst().contains(QStringLiteral("line 10: fontsize")));
    QVERIFY(ServiceConfig::keys().contains(QStringLiteral("metricsFile")));

    // An empty file is a valid one.
    QVERIFY(write(path, ""));
    ServiceConfig empty;
    QVERIFY(empty.load(path, &error));
}

void tst_ServiceConfig::badLinesAreReportedWithTheirNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unknown key") << QByteArray("lang = en_us\nsmtpPasword = x\n") << "line 2: unknown key";
    QTest::newRow("no equals sign") << QByteArray("\nsmtpServer mail\n") << "line 2: expected key = value";
    QTest::newRow("twice") << QByteArray("smtpPort = 25\nsmtpport = 587\n")
                           << "line 2: smtpPort is already set on line 1";
    QTest::newRow("section") << QByteArray("[SETTINGS]\n") << "line 1:";
    QTest::newRow("count") << QByteArray("memoryWarnDays = 0\n") << "line 1: memoryWarnDays";
    QTest::newRow("flag") << QByteArray("clockSync = maybe\n") << "line 1: clockSync: expected true or false";
    QTest::newRow("port") << QByteArray("smtpPort = 70000\n") << "line 1: smtpPort";
    QTest::newRow("tls") << QByteArray("smtpTls = ssl\n") << "line 1: smtpTls";
    QTest::newRow("minutes") << QByteArray("retryMinutes = 2,x\n") << "line 1: retryMinutes";
    QTest::newRow("web") << QByteArray("web = 8510\n") << "line 1: web: expected HOST:PORT";
    QTest::newRow("database") << QByteArray("database = mysql://a@b/c\n") << "line 1: database";
}

void tst_ServiceConfig::badLinesAreReportedWithTheirNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tqm510.conf"));
    QVERIFY(write(path, text));
    ServiceConfig config;
    QString error;
    QVERIFY(!config.load(path, &error));
    QVERIFY2(error.startsWith(path + QStringLiteral(", ")) && error.contains(expected), qPrintable(error));

    ServiceConfig missing;
    QVERIFY(!missing.load(dir.filePath(QStringLiteral("none.conf")), &error));
    QVERIFY(error.contains(QStringLiteral("none.conf")));
}

void tst_ServiceConfig::layersOverSettingsWithCredentials()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("SETTINGS/smtpServer"), QStringLiteral("mail.ini.example"));
        s.setValue(QStringLiteral("SETTINGS/smtpPassword"), QStringLiteral("from-ini"));
        s.setValue(QStringLiteral("SETTINGS/retryMinutes"), QStringLiteral("1,2"));
        s.setValue(QStringLiteral("SETTINGS/memoryWarnDays"), 9);
        s.setValue(QStringLiteral("SETTINGS/clockSync"), true);
        s.setValue(QStringLiteral("SETTINGS/smtpTls"), QStringLiteral("tls"));
    }
    const QString conf = dir.filePath(QStringLiteral("tqm510.conf"));
    QVERIFY(write(conf, "smtpServer = mail.conf.example\nretryMinutes = 3\nclockSync = no\n"
                        "smtpPassword = from-conf\ndatabase = postgresql://dsi@%2Ftmp%2Fpg/stations\n"));
    const QString credentials = dir.filePath(QStringLiteral("credentials"));
    QVERIFY(QDir().mkpath(credentials));
    const QByteArray databasePassword = "p@ss:w/o%rd \"q\" \\ ;,= ü";
    QVERIFY(write(credentials + QStringLiteral("/database-password"), databasePassword + '\n'));
    QVERIFY(write(credentials + QStringLiteral("/smtp-password"), "cr,ed;pw\r\n"));

    ServiceConfig config;
    QString error;
    QVERIFY(config.load(conf, &error));
    ServiceConfig::setCurrent(config);
    CollectionOptions o = CollectionOptions::load(ini);
    QCOMPARE(o.smtpServer, QStringLiteral("mail.conf.example"));
    QCOMPARE(o.retryMinutes, QList<int>{3});
    QCOMPARE(o.clockSync, false);
    QCOMPARE(o.smtpPassword, QStringLiteral("from-conf"));
    // Keys the file leaves out still come from settings.ini.
    QCOMPARE(o.memoryWarnDays, 9);
    QCOMPARE(o.smtpTls, QStringLiteral("tls"));
    QVERIFY(config.databasePassword().isNull());

    // The credentials win over the file; the line break echo adds is not the password's.
    QVERIFY2(config.loadCredentials(credentials, &error), qPrintable(error));
    ServiceConfig::setCurrent(config);
    o = CollectionOptions::load(ini);
    QCOMPARE(o.smtpPassword, QStringLiteral("cr,ed;pw"));
    QCOMPARE(config.databasePassword(), QString::fromUtf8(databasePassword));

    // The store: option, environment, file, settings.ini; the password goes in whole.
    const QString fromFile = config.databaseUrl(QString(), QString(), QStringLiteral("sqlite:ini.db"));
    DatabaseUrl url;
    QVERIFY2(DatabaseUrl::parse(fromFile, &url, &error), qPrintable(error));
    QCOMPARE(url.kind(), DatabaseUrl::PostgreSQL);
    QCOMPARE(url.user(), QStringLiteral("dsi"));
    QCOMPARE(url.host(), QStringLiteral("/tmp/pg"));
    QCOMPARE(url.path(), QStringLiteral("stations"));
    QCOMPARE(url.password(), QString::fromUtf8(databasePassword));
    QVERIFY(!url.redacted().contains(QStringLiteral("o%rd")));
    QVERIFY(DatabaseUrl::parse(
        config.databaseUrl(QString(), QStringLiteral("postgresql://env:old@db:6543/x?sslmode=require"),
                           QString()),
        &url, &error));
    QCOMPARE(url.user(), QStringLiteral("env"));
    QCOMPARE(url.host(), QStringLiteral("db"));
    QCOMPARE(url.port(), 6543);
    QCOMPARE(url.password(), QString::fromUtf8(databasePassword));
    QCOMPARE(
        config.databaseUrl(QStringLiteral("sqlite:given.db"), QStringLiteral("sqlite:env.db"), QString()),
        QStringLiteral("sqlite:given.db"));
    QCOMPARE(ServiceConfig().databaseUrl(QString(), QString(), QStringLiteral("sqlite:ini.db")),
             QStringLiteral("sqlite:ini.db"));

    // A credential that is there but cannot be read stops the start.
    if (::geteuid() != 0) {
        QFile::setPermissions(credentials + QStringLiteral("/smtp-password"), QFileDevice::Permissions());
        ServiceConfig unreadable;
        QVERIFY(!unreadable.loadCredentials(credentials, &error));
        QVERIFY(error.contains(QStringLiteral("smtp-password")));
    }
}

void tst_ServiceConfig::programTakesTheFileBetweenEnvironmentAndSettings()
{
    const QString program = qEnvironmentVariable("TQM510");
    if (program.isEmpty())
        QSKIP("TQM510 names no program");
    QTemporaryDir dir;
    const QString work = dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work));
    {
        QSettings s(work + QStringLiteral("/settings.ini"), QSettings::IniFormat);
        s.setValue(QStringLiteral("SETTINGS/database"),
                   QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("ini.db")));
    }
    const QString conf = dir.filePath(QStringLiteral("tqm510.conf"));
    QVERIFY(write(conf,
                  "database = sqlite:" + QFile::encodeName(dir.filePath(QStringLiteral("conf.db"))) + "\n"));

    const auto addStation = [&](const QString &code, const QProcessEnvironment &env,
                                const QStringList &extra) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program,
                QStringList{QStringLiteral("--workdir"), work, QStringLiteral("--config"), conf,
                            QStringLiteral("--add-station"), code + QStringLiteral(",127.0.0.1,4380")} +
                    extra);
        if (!p.waitForFinished(30000))
            return -1;
        if (p.exitCode() != 0)
            qWarning() << p.readAllStandardError();
        return p.exitCode();
    };
    const auto stations = [&](const QString &file) {
        if (!QFile::exists(dir.filePath(file)))
            return -1;
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(dir.filePath(file));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT count(*) FROM stations")) && q.next())
                count = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return count;
    };

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TQM510_DATABASE"));
    QCOMPARE(addStation(QStringLiteral("A"), env, {}), 0);
    QCOMPARE(stations(QStringLiteral("conf.db")), 1);
    QCOMPARE(stations(QStringLiteral("ini.db")), -1);

    env.insert(QStringLiteral("TQM510_DATABASE"),
               QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("env.db")));
    QCOMPARE(addStation(QStringLiteral("B"), env, {}), 0);
    QCOMPARE(stations(QStringLiteral("env.db")), 1);
    QCOMPARE(addStation(QStringLiteral("C"), env,
                        {QStringLiteral("--database"),
                         QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("option.db"))}),
             0);
    QCOMPARE(stations(QStringLiteral("option.db")), 1);
    QCOMPARE(stations(QStringLiteral("conf.db")), 1);

    // A broken file stops the program before it touches any store.
    QVERIFY(write(conf, "database = sqlite:x.db\nsmtpTls = maybe\n"));
    QProcess p;
    p.start(program, {QStringLiteral("--workdir"), work, QStringLiteral("--config"), conf,
                      QStringLiteral("--status")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("line 2: smtpTls")));
}

QTEST_GUILESS_MAIN(tst_ServiceConfig)
#include "tst_serviceconfig.moc"
