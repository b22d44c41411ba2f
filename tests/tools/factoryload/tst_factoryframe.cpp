#include "factoryframe.h"

#include <QtTest>

namespace {
// An answer as the device frames it: three header bytes, STX, text, padding, CR CR CR.
QByteArray frame(const QByteArray &text, int size = 48)
{
    QByteArray f = QByteArray("\x01\x00\x2a", 3) + '\x02' + text;
    while (f.size() < size - 3)
        f.append(' ');
    return f + "\r\r\r";
}
} // namespace

class tst_FactoryFrame : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes();
    void check_data();
    void check();
    void answers_data();
    void answers();
};

void tst_FactoryFrame::commandBytes()
{
    QCOMPARE(factoryCommand(), QByteArray("\x02SET4826\r\r\r"));
}

void tst_FactoryFrame::check_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("result");
    const int more = int(FrameCheck::NeedMore), discard = int(FrameCheck::Discard),
              complete = int(FrameCheck::Complete);
    QTest::newRow("empty") << QByteArray() << more;
    QTest::newRow("39 bytes ending in CRs") << frame("YUKLENDI", 39) << more;
    QTest::newRow("40 bytes") << frame("YUKLENDI", 40) << complete;
    QByteArray badFourth = frame("YUKLENDI", 40);
    badFourth[3] = 'X';
    QTest::newRow("40 bytes, bad fourth byte") << badFourth << discard;
    QTest::newRow("short, bad fourth byte") << badFourth.left(39) << more;
    QTest::newRow("no CRs yet") << frame("YUKLENDI", 60).left(50) << more;
    QTest::newRow("CRs inside only") << frame("YUKLENDI", 44) + "tail" << more;
    QTest::newRow("two CRs at the end") << frame("YUKLENDI", 44).chopped(1) << more;
}

void tst_FactoryFrame::check()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, result);
    QCOMPARE(int(checkFrame(buffer)), result);
}

void tst_FactoryFrame::answers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("crc wins over loaded") << frame("CRCHata YUKLENDI") << int(FactoryAnswer::CrcError);
    QTest::newRow("password wins over loaded")
        << frame("YUKLENDI SYANLIS") << int(FactoryAnswer::WrongPassword);
    QTest::newRow("loaded") << frame("YUKLENDI") << int(FactoryAnswer::Loaded);
    QTest::newRow("other") << frame("KML") << int(FactoryAnswer::None);
}

void tst_FactoryFrame::answers()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, result);
    QCOMPARE(int(classifyAnswer(answer)), result);
}

QTEST_APPLESS_MAIN(tst_FactoryFrame)
#include "tst_factoryframe.moc"
