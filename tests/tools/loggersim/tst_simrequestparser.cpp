// Request framing: pieces, CRCs holding 0x0D, the factory command, garbage.

#include "requestparser.h"
#include "simframes.h"

#include <QtTest>

using namespace loggersim;

class TestSimRequestParser : public QObject
{
    Q_OBJECT

private slots:
    void localCrcIsTheProtocolOne()
    {
        QCOMPARE(simframes::crc16("abc"), quint16(0xEDF0));
        QCOMPARE(simframes::crc16("123456789"), quint16(0x4B25));
    }

    void plainRequestsInPieces()
    {
        RequestParser p;
        const QByteArray two = simframes::plain("KML") + simframes::plain("DKU");
        QList<Request> all;
        for (const char c : two) {
            p.feed(QByteArray(1, c));
            all += p.take();
        }
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).word, QByteArray("KML"));
        QCOMPARE(all.at(0).kind, Request::Plain);
        QCOMPARE(all.at(1).word, QByteArray("DKU"));
        QCOMPARE(p.buffered(), 0);
    }

    void checkedRequestWhoseCrcHoldsCarriageReturns()
    {
        // Find block requests whose CRC contains 0x0D; they look finished early.
        int found = 0;
        for (int page = 0; page < 20000 && found < 3; ++page) {
            const QByteArray f = simframes::block(page, 0);
            if (!simframes::crcHasCr(f))
                continue;
            ++found;
            RequestParser p;
            QList<Request> got;
            for (const char c : f) {
                p.feed(QByteArray(1, c));
                got += p.take();
            }
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.at(0).kind, Request::Checked);
            QVERIFY(got.at(0).crcOk);
            QCOMPARE(got.at(0).body, QByteArray::number(page).rightJustified(8, '0') + "0000");
        }
        QCOMPARE(found, 3);

        int uploads = 0;
        for (int i = 0; i < 5000 && uploads < 2; ++i) {
            const QByteArray f = simframes::checked("SIF", "1234" + QByteArray::number(i));
            if (!simframes::crcHasCr(f))
                continue;
            ++uploads;
            RequestParser p;
            p.feed(f.left(f.size() - 2));
            QVERIFY(p.take().isEmpty());
            p.feed(f.right(2));
            const QList<Request> got = p.take();
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.at(0).body, "1234" + QByteArray::number(i));
        }
        QCOMPARE(uploads, 2);
    }

    void badCrcIsReleasedWhenTheLineIsIdle()
    {
        RequestParser p;
        QByteArray f = simframes::checked("KAL", "1234cm\x02");
        f[f.size() - 4] = char(f.at(f.size() - 4) ^ 0x01);
        p.feed(f);
        QVERIFY(p.take().isEmpty());
        QVERIFY(p.hasStale());
        const QList<Request> got = p.flushStale();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.at(0).word, QByteArray("KAL"));
        QVERIFY(!got.at(0).crcOk);
        QCOMPARE(p.buffered(), 0);
    }

    void factoryToolCommandHasNoCrc()
    {
        RequestParser p;
        p.feed(QByteArray("\x02SET4826\r\r\r") + simframes::checked("SET", "1234"));
        const QList<Request> got = p.take();
        QCOMPARE(got.size(), 2);
        QCOMPARE(got.at(0).kind, Request::Factory);
        QCOMPARE(got.at(1).kind, Request::Checked);
        QCOMPARE(got.at(1).body, QByteArray("1234"));
    }

    void garbageAndUnknownWords()
    {
        RequestParser p;
        p.feed(QByteArray("noise\r\r\r") + simframes::plain("XYZ") + simframes::plain("ANL"));
        const QList<Request> got = p.take();
        QCOMPARE(got.size(), 2);
        QCOMPARE(got.at(0).kind, Request::Unknown);
        QCOMPARE(got.at(1).word, QByteArray("ANL"));
        // An upload that never completes does not block the next request for ever.
        p.feed(QByteArray("\x02PAR12") + simframes::plain("KML"));
        QVERIFY(p.take().isEmpty());
        const QList<Request> after = p.flushStale();
        QCOMPARE(after.size(), 1);
        QCOMPARE(after.at(0).word, QByteArray("KML"));
    }
};

QTEST_GUILESS_MAIN(TestSimRequestParser)
#include "tst_simrequestparser.moc"
