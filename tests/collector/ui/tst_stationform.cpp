#include "ui/collectorsettings.h"
#include "ui/stationform.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class tst_StationForm : public QObject
{
    Q_OBJECT

private slots:
    void emailAddresses_data();
    void emailAddresses();
    void emailProblemsNameTheAddress();
    void coordinates();
    void settingsRoundTripAndBadValues();
    void listsStyleSheetsAndLanguages();
};

void tst_StationForm::emailAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QStringLiteral("ali.veli@example.com") << true;
    QTest::newRow("plus and dash") << QStringLiteral("ab+tag-x_y@mail.example.org") << true;
    QTest::newRow("hyphenated domain") << QStringLiteral("ops@dsi-gov.com.tr") << true;
    QTest::newRow("six letter tld") << QStringLiteral("ops@example.museum") << true;
    QTest::newRow("digits") << QStringLiteral("a1@b2.io") << true;
    QTest::newRow("one letter local part") << QStringLiteral("a@example.org") << false;
    QTest::newRow("no at") << QStringLiteral("ops.example.org") << false;
    QTest::newRow("no tld") << QStringLiteral("ops@localhost") << false;
    QTest::newRow("seven letter tld") << QStringLiteral("ops@example.abcdefg") << false;
    QTest::newRow("leading dot") << QStringLiteral(".ops@example.org") << false;
    QTest::newRow("double at") << QStringLiteral("ops@@example.org") << false;
    QTest::newRow("inner blank") << QStringLiteral("op s@example.org") << false;
    QTest::newRow("non-ascii") << QStringLiteral("ayşe@example.org") << false;
    QTest::newRow("empty") << QStringLiteral("") << false;
    // Many ways to split a long failing text must still end quickly.
    QTest::newRow("long failing") << QString(QStringLiteral("a.").repeated(200) + QStringLiteral("@b.") +
                                             QStringLiteral("c.").repeated(200) + QStringLiteral("1"))
                                  << false;
}

void tst_StationForm::emailAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, valid);
    QCOMPARE(isValidEmailAddress(address), valid);
}

void tst_StationForm::emailProblemsNameTheAddress()
{
    const QStringList list{QStringLiteral("ops@example.org")};
    QCOMPARE(emailAddressProblem(QStringLiteral("xx@example.org"), list), QString());
    QCOMPARE(emailAddressProblem(QStringLiteral("ops@example.org"), list),
             QStringLiteral("E-Mail address \"ops@example.org\" is already exists in this list!"));
    // Only exactly the same text is a duplicate.
    QCOMPARE(emailAddressProblem(QStringLiteral("OPS@example.org"), list), QString());
    QCOMPARE(emailAddressProblem(QStringLiteral("bad"), list),
             QStringLiteral("\"bad\" is not a valid e-mail address!"));
}

void tst_StationForm::coordinates()
{
    double lat = -1;
    double lon = -1;
    parseCoordinate(QStringLiteral("41.1,29.05"), &lat, &lon);
    QCOMPARE(lat, 41.1);
    QCOMPARE(lon, 29.05);
    QCOMPARE(formatCoordinate(lat, lon), QStringLiteral("41.100000,29.050000"));
    QCOMPARE(formatCoordinate(-0.0000004, -179.9999996), QStringLiteral("-0.000000,-180.000000"));

    parseCoordinate(QStringLiteral("39.5"), &lat, &lon);
    QCOMPARE(lat, 39.5);
    QCOMPARE(lon, 0.0);
    parseCoordinate(QStringLiteral("north,east"), &lat, &lon);
    QCOMPARE(lat, 0.0);
    QCOMPARE(lon, 0.0);
}

void tst_StationForm::settingsRoundTripAndBadValues()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    CollectorSettings s;
    s.style = QStringLiteral("Windows");
    s.styleSheet = QStringLiteral("dark");
    s.fontFamily = QStringLiteral("DejaVu Sans");
    s.fontSize = 11;
    s.defaultPath = QStringLiteral("  /srv/velk   data ");
    s.exportToText = false;
    s.exportToExcel = false;
    s.language = QStringLiteral("tr_tr");
    QVERIFY(s.save(file));

    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.value("SETTINGS/defaultpath").toString(), QStringLiteral("/srv/velk data"));
    QCOMPARE(raw.value("SETTINGS/fontsize").toInt(), 11);
    QCOMPARE(raw.value("SETTINGS/lang").toString(), QStringLiteral("tr_tr"));
    QCOMPARE(raw.value("SETTINGS/exportToText").toBool(), false);

    const CollectorSettings back = CollectorSettings::load(file);
    QCOMPARE(back.style, s.style);
    QCOMPARE(back.styleSheet, s.styleSheet);
    QCOMPARE(back.fontFamily, s.fontFamily);
    QCOMPARE(back.fontSize, 11);
    QCOMPARE(back.defaultPath, QStringLiteral("/srv/velk data"));
    QCOMPARE(back.exportToText, false);
    QCOMPARE(back.exportToExcel, false);
    QCOMPARE(back.language, QStringLiteral("tr_tr"));

    // Hand-edited values: blanks are simplified, a size that is no number
    // falls back to the default.
    raw.setValue("SETTINGS/style", QStringLiteral("  Fusion "));
    raw.setValue("SETTINGS/fontsize", QStringLiteral("big"));
    raw.sync();
    const CollectorSettings edited = CollectorSettings::load(file);
    QCOMPARE(edited.style, QStringLiteral("Fusion"));
    QCOMPARE(edited.fontSize, 8);
    raw.setValue("SETTINGS/fontsize", QStringLiteral(" 12 "));
    raw.sync();
    QCOMPARE(CollectorSettings::load(file).fontSize, 12);
}

void tst_StationForm::listsStyleSheetsAndLanguages()
{
    QTemporaryDir dir;
    QDir d(dir.path());
    for (const char *name : {"style/b.qss", "style/a.qss", "style/notes.txt", "lang/tr_tr.qm",
                             "lang/en_us.qm", "lang/tr_tr.png", "lang/tr_tr.ts"}) {
        QVERIFY(d.mkpath(QFileInfo(d.filePath(QLatin1String(name))).path()));
        QFile f(d.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(d.mkpath(QStringLiteral("style/folder.qss"))); // not a file
    QCOMPARE(styleSheetNames(d.filePath("style")), QStringList({"a", "b"}));
    QCOMPARE(languageNames(d.filePath("lang")), QStringList({"en_us", "tr_tr"}));
    QCOMPARE(styleSheetNames(d.filePath("missing")), QStringList());

    QCOMPARE(styleName(QStringLiteral("QFusionStyle")), QStringLiteral("Fusion"));
    QCOMPARE(styleName(QStringLiteral("QWindowsStyle")), QStringLiteral("Windows"));
    QCOMPARE(styleName(QStringLiteral("Style")), QString());
}

QTEST_GUILESS_MAIN(tst_StationForm)
#include "tst_stationform.moc"
