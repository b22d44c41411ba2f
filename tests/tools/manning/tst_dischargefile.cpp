#include "dischargefile.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

class tst_DischargeFile : public QObject
{
    Q_OBJECT

private slots:
    void writesBothListsWithEveryPoint();
    void unwritablePlaceReportsAndWritesNothing();
};

void tst_DischargeFile::writesBothListsWithEveryPoint()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.xml"));
    // 28.999998 is what h * 100 gives for 29 cm in float.
    const QVector<DischargePoint> points{{0.0f, 0.0f}, {28.999998f, 1.23456f}, {500.0f, 17.0f}};
    QString error;
    QVERIFY(writeDischargeFile(path, points, QDateTime(QDate(2024, 3, 9), QTime(7, 5, 4)), &error));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    QDomDocument doc;
    QVERIFY(doc.setContent(bytes));
    const QDomElement root = doc.documentElement();
    QCOMPARE(root.tagName(), QStringLiteral("LevelVersusDischarge"));
    QCOMPARE(root.attribute(QStringLiteral("CreateDateTime")), QStringLiteral("2024-03-09 07:05:04"));

    const QStringList lists{QStringLiteral("UserInsertions"), QStringLiteral("WholeTable")};
    QDomElement list = root.firstChildElement();
    for (const QString &name : lists) {
        QCOMPARE(list.tagName(), name);
        const QDomNodeList pts = list.elementsByTagName(QStringLiteral("Point"));
        QCOMPARE(pts.size(), 3);
        QCOMPARE(pts.at(0).toElement().attribute(QStringLiteral("Level")), QStringLiteral("0"));
        QCOMPARE(pts.at(0).toElement().attribute(QStringLiteral("Discharge")), QStringLiteral("0.000"));
        QCOMPARE(pts.at(1).toElement().attribute(QStringLiteral("Level")), QStringLiteral("29"));
        QCOMPARE(pts.at(1).toElement().attribute(QStringLiteral("Discharge")), QStringLiteral("1.235"));
        QCOMPARE(pts.at(2).toElement().attribute(QStringLiteral("Level")), QStringLiteral("500"));
        QCOMPARE(pts.at(2).toElement().attribute(QStringLiteral("Discharge")), QStringLiteral("17.000"));
        QVERIFY(!pts.at(2).hasChildNodes());
        list = list.nextSiblingElement();
    }
    QVERIFY(list.isNull());
}

void tst_DischargeFile::unwritablePlaceReportsAndWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/table.xml"));
    QString error;
    QVERIFY(!writeDischargeFile(path, {{0.0f, 0.0f}}, QDateTime::currentDateTime(), &error));
    // Said in the program's language, naming the missing folder.
    QCOMPARE(error,
             QStringLiteral("Klasör bulunamadı: %1").arg(QDir::toNativeSeparators(dir.filePath("missing"))));
    QVERIFY(!QFile::exists(path));
}

QTEST_APPLESS_MAIN(tst_DischargeFile)
#include "tst_dischargefile.moc"
