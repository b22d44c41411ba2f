#include "store/pathpart.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Texts from a device or the store that name a file or folder.
class tst_PathPart : public QObject
{
    Q_OBJECT

private slots:
    void hostileTextsNameOneEntryInTheFolder_data();
    void hostileTextsNameOneEntryInTheFolder();
};

void tst_PathPart::hostileTextsNameOneEntryInTheFolder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain code") << "D02A003"
                                << "D02A003";
    QTest::newRow("code with dashes and blanks") << "05-12-L007 X"
                                                 << "05-12-L007 X";
    QTest::newRow("Turkish letters") << QString::fromUtf8("ÇAYIRLI") << QString::fromUtf8("ÇAYIRLI");
    QTest::newRow("parent twice") << "../../EVIL"
                                  << "_.._EVIL";
    QTest::newRow("separator") << "a/b"
                               << "a_b";
    QTest::newRow("backslash") << "..\\..\\EVIL"
                               << "_.._EVIL";
    QTest::newRow("absolute") << "/etc/passwd"
                              << "_etc_passwd";
    QTest::newRow("drive") << "C:EVIL"
                           << "C_EVIL";
    QTest::newRow("parent") << ".."
                            << "";
    QTest::newRow("current") << "."
                             << "";
    QTest::newRow("hidden") << ".profile"
                            << "profile";
    QTest::newRow("trailing dot") << "AB."
                                  << "AB";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks") << "   "
                            << "";
    QTest::newRow("line feed") << "\n"
                               << "_";
    QTest::newRow("line feed inside") << "A\nB"
                                      << "A_B";
    QTest::newRow("NUL") << QString::fromLatin1("A\0B", 3) << "A_B";
    QTest::newRow("escape and DEL") << "A\x1b[2J\x7f"
                                    << "A_[2J_";
    QTest::newRow("line separator") << QString::fromUtf8("A\u2028B") << "A_B";
}

void tst_PathPart::hostileTextsNameOneEntryInTheFolder()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    const QString got = PathPart::fileName(text);
    QCOMPARE(got, name);
    QCOMPARE(PathPart::isSafe(text), !text.isEmpty() && got == text);
    if (got.isEmpty())
        return;
    // Put into a folder, it names an entry of that folder and nothing else.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path =
        QDir::cleanPath(dir.path() + QLatin1Char('/') + got + QStringLiteral("_01012026.xml"));
    QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});
    // Already safe: unchanged.
    QCOMPARE(PathPart::fileName(got), got);
}

QTEST_GUILESS_MAIN(tst_PathPart)
#include "tst_pathpart.moc"
