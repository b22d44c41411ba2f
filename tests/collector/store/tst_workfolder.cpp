#include "store/workfolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class tst_WorkFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void classicLayoutOfTheWorkingFolder_data();
    void classicLayoutOfTheWorkingFolder();
    void programFolderCountsWhenStartedElsewhere();
    void givenFolderPlaysTheProgramsPart();
    void installedTranslationsAndStyleAreFallbacks();
    void userDataFolderOtherwise();

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
};

void tst_WorkFolder::init()
{
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("empty"))));
}

void tst_WorkFolder::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
}

void tst_WorkFolder::classicLayoutOfTheWorkingFolder_data()
{
    QTest::addColumn<QString>("marker");
    QTest::newRow("../data") << QStringLiteral("data/");
    QTest::newRow("../lang") << QStringLiteral("lang/");
    QTest::newRow("../style") << QStringLiteral("style/");
}

void tst_WorkFolder::classicLayoutOfTheWorkingFolder()
{
    QFETCH(QString, marker);
    QTemporaryDir copy;
    QVERIFY(QDir().mkpath(copy.filePath(QStringLiteral("bin"))));
    if (marker.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(copy.filePath(marker)));
    } else {
        QFile f(copy.filePath(marker));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir::setCurrent(copy.filePath(QStringLiteral("bin"))));
    const WorkFolder w = WorkFolder::resolve(QString(), QString(), QString(), QString());
    QCOMPARE(w.kind(), WorkFolder::Classic);
    const QString root = QDir(copy.path()).canonicalPath();
    QCOMPARE(QFileInfo(w.settingsFile()).absolutePath(), QDir(root).filePath(QStringLiteral("bin")));
    QCOMPARE(w.databaseFile(), root + QStringLiteral("/data/data.db"));
    QCOMPARE(w.filesDir(), root + QStringLiteral("/files"));
    QCOMPARE(w.langDir(), root + QStringLiteral("/lang"));
    QCOMPARE(w.styleDir(), root + QStringLiteral("/style"));
}

void tst_WorkFolder::programFolderCountsWhenStartedElsewhere()
{
    QTemporaryDir copy;
    QVERIFY(QDir().mkpath(copy.filePath(QStringLiteral("bin"))));
    QVERIFY(QDir().mkpath(copy.filePath(QStringLiteral("lang"))));
    QVERIFY(QDir::setCurrent(m_dir.filePath(QStringLiteral("empty"))));
    const WorkFolder w =
        WorkFolder::resolve(QString(), QString(), copy.filePath(QStringLiteral("bin")), QString());
    QCOMPARE(w.kind(), WorkFolder::Classic);
    QCOMPARE(w.databaseFile(), QDir::cleanPath(copy.path()) + QStringLiteral("/data/data.db"));
    QCOMPARE(w.settingsFile(), QDir::cleanPath(copy.path()) + QStringLiteral("/bin/settings.ini"));
}

void tst_WorkFolder::givenFolderPlaysTheProgramsPart()
{
    QVERIFY(QDir::setCurrent(m_dir.filePath(QStringLiteral("empty"))));
    const QString dir = m_dir.filePath(QStringLiteral("service"));
    // The option wins over the environment, the environment over the layout.
    const WorkFolder fromOption =
        WorkFolder::resolve(dir, QStringLiteral("/elsewhere"), QString(), QString());
    QCOMPARE(fromOption.kind(), WorkFolder::Explicit);
    QCOMPARE(fromOption.settingsFile(), dir + QStringLiteral("/settings.ini"));
    QCOMPARE(fromOption.databaseFile(), dir + QStringLiteral("/data/data.db"));
    QCOMPARE(fromOption.filesDir(), dir + QStringLiteral("/files"));
    QVERIFY(fromOption.describe().contains(dir));
    const WorkFolder fromEnvironment = WorkFolder::resolve(QString(), dir, QString(), QString());
    QCOMPARE(fromEnvironment.kind(), WorkFolder::Explicit);
    QCOMPARE(fromEnvironment.root(), dir);
    // A relative folder is taken from where the program was started.
    const WorkFolder relative =
        WorkFolder::resolve(QStringLiteral("sub/../w"), QString(), QString(), QString());
    QCOMPARE(relative.root(), QDir::current().filePath(QStringLiteral("w")));

    // A station's relative folder lies in the working folder, not where the
    // process happens to run; an absolute one stays as it is.
    QCOMPARE(fromOption.resolveStationDir(QStringLiteral("files/H01")), dir + QStringLiteral("/files/H01"));
    QCOMPARE(fromOption.resolveStationDir(QStringLiteral("/srv/H01")), QStringLiteral("/srv/H01"));
    QCOMPARE(fromOption.resolveStationDir(QString()), QString());
    // Nothing set up: the current folder, as ever.
    QCOMPARE(WorkFolder().resolveStationDir(QStringLiteral("files/H01")), QStringLiteral("files/H01"));
}

void tst_WorkFolder::installedTranslationsAndStyleAreFallbacks()
{
    const QString dir = m_dir.filePath(QStringLiteral("withstyle"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/style")));
    const WorkFolder w = WorkFolder::resolve(dir, QString(), QString(), QStringLiteral("/usr/share/tqm510"));
    QCOMPARE(w.styleDir(), dir + QStringLiteral("/style"));
    QCOMPARE(w.langDir(), QStringLiteral("/usr/share/tqm510/lang"));

    // A data-only working folder of a program run from its own tree takes
    // the translations beside the program before the installed ones.
    const QString tree = m_dir.filePath(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/bin")));
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/lang")));
    const WorkFolder fromTree = WorkFolder::resolve(dir, QString(), tree + QStringLiteral("/bin"),
                                                    QStringLiteral("/usr/share/tqm510"));
    QCOMPARE(fromTree.langDir(), tree + QStringLiteral("/lang"));
    QCOMPARE(fromTree.styleDir(), dir + QStringLiteral("/style"));
}

void tst_WorkFolder::userDataFolderOtherwise()
{
    QVERIFY(QDir::setCurrent(m_dir.filePath(QStringLiteral("empty"))));
    const WorkFolder w =
        WorkFolder::resolve(QString(), QString(), m_dir.filePath(QStringLiteral("empty")), QString());
    QCOMPARE(w.kind(), WorkFolder::UserData);
    QCOMPARE(w.root(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QVERIFY(w.describe().contains(QLatin1String("the user's data folder")));

    // A settings.ini some earlier run left in the current folder (the home
    // folder of a desktop start) does not make that folder a program's.
    QFile stray(m_dir.filePath(QStringLiteral("empty/settings.ini")));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();
    const WorkFolder again = WorkFolder::resolve(QString(), QString(), QString(), QString());
    QCOMPARE(again.kind(), WorkFolder::UserData);
}

QTEST_GUILESS_MAIN(tst_WorkFolder)
#include "tst_workfolder.moc"
