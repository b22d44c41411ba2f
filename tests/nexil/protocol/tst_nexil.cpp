// The request engine and frame reception of Nexil against an in-process
// device on a loopback socket.

#include "fakedevice.h"
#include "nexil/protocol/nexil.h"
#include "support/testframes.h"
#include "support/testmemory.h"
#include "support/testrecords.h"

#include <QThread>
#include <QtTest>

#include <limits>

using testframes::payload;
using testframes::reply;

namespace {

const int shortTimeout = 40;

QByteArray identityReply(const QByteArray &model = "ZazEroDar", const QByteArray &firmware = "V51")
{
    return reply("KML", payload({"Kuru Dere", "02-14-003", "D14", "x"}), model, firmware);
}

// Carries records across threads through queued connections.
class Relay : public QObject
{
    Q_OBJECT
signals:
    void setup(SetupParameters);
    void files(QList<DataFile>);
    void alarms(AlarmParameters);
};

class Sink : public QObject
{
    Q_OBJECT
public:
    SetupParameters setup;
    QList<DataFile> files;
    AlarmParameters alarms;
    Qt::HANDLE thread = nullptr;
public slots:
    void onSetup(SetupParameters s)
    {
        setup = s;
        thread = QThread::currentThreadId();
    }
    void onFiles(QList<DataFile> f) { files = f; }
    void onAlarms(AlarmParameters a) { alarms = a; }
};

} // namespace

class tst_Nexil : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void silentDevice_fiveIdenticalFramesThenTimeout();
    void silentDevice_duringDownloadReportsInterrupted();
    void busy_refusesAndSendsNothing();
    void cancel_stopsResendingAndDropsLateReplies();
    void lateReply_doesNotEndTheNextRequest();
    void twoRepliesInOneRead_eachHandledAlone();
    void replyInChunks_decodedOnce();
    void firmware50_neverDecoded();
    void headerCrcMismatch_dropsAndResends();
    void payloadCrcMismatch_resentUntilGood();
    void unknownModel_dropped();
    void lastError_survivesSuccess();
    void download_chainPagesAndDataFile();
    void download_firstReplyBitti();
    void download_pageNumbersAre16Bits();
    void download_garbledWritePositionCountsNoPages();
    void download_bittiInsidePageDataEndsIt();
    void download_shortLastRecordAtWritePositionIsKept();
    void download_progressStaysWithinTotalWhileDeviceWrites();
    void download_startedFromChannelNamesSlot_countsOnce();
    void download_slowLinkAndStarvedLoop_eachBlockCountsItsOwn();
    void upload_refusedEveryTime_saysRefused();
    void records_surviveQueuedSignalsAcrossThreads();

private:
    QTcpSocket *client = nullptr;
    FakeDevice *device = nullptr;
    Nexil *nexil = nullptr;
};

void tst_Nexil::init()
{
    client = new QTcpSocket;
    device = new FakeDevice;
    QVERIFY(device->connectClient(client));
    nexil = new Nexil;
    nexil->setReplyTimeout(shortTimeout);
    nexil->setConnection(client);
}

void tst_Nexil::cleanup()
{
    delete nexil;
    delete device;
    delete client;
}

void tst_Nexil::silentDevice_fiveIdenticalFramesThenTimeout()
{
    QSignalSpy errors(nexil, &Nexil::error);
    nexil->getInstantValues();
    QVERIFY(nexil->isBusy());
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().at(0).toInt(), 5);
    QCOMPARE(errors.first().at(1).toString(), QStringLiteral("İşlem zaman aşımı."));
    QVERIFY(!nexil->isBusy());
    QTRY_COMPARE(device->requests().size(), 5);
    for (const QByteArray &r : device->requests())
        QCOMPARE(r, QByteArray("\x02"
                               "ANL\r\r\r"));
    // Nothing more is sent once it has given up.
    QTest::qWait(5 * shortTimeout);
    QCOMPARE(device->requests().size(), 5);
    QCOMPARE(errors.size(), 1);
}

void tst_Nexil::silentDevice_duringDownloadReportsInterrupted()
{
    QSignalSpy errors(nexil, &Nexil::error);
    nexil->getData(QDateTime::currentDateTime(), 0, 0);
    QVERIFY(nexil->isDownloading());
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.first().at(0).toInt(), 10);
    QCOMPARE(errors.first().at(1).toString(), QStringLiteral("İndirme işlemi kesildi."));
    QVERIFY(!nexil->isDownloading());
    QCOMPARE(device->requestCount("\x02OKU"), 5);
}

void tst_Nexil::busy_refusesAndSendsNothing()
{
    nexil->setReplyTimeout(60000);
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), 1);
    nexil->getChannelNames();
    QCOMPARE(nexil->lastError(), DeviceBusy);
    QCOMPARE(nexil->lastErrorString(), QStringLiteral("Cihaz Meşgul."));
    nexil->getInstantValues();
    QCOMPARE(nexil->lastErrorString(), QStringLiteral("Cihaz meşgul."));
    QVERIFY(nexil->isBusy());
    // The one in flight still completes.
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    device->send(identityReply());
    QVERIFY(identities.wait(2000));
    QVERIFY(!nexil->isBusy());
    QCOMPARE(device->requests().size(), 1);
}

void tst_Nexil::cancel_stopsResendingAndDropsLateReplies()
{
    QSignalSpy errors(nexil, &Nexil::error);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), 1);
    nexil->cancelLastProcess();
    QVERIFY(!nexil->isBusy());
    QCOMPARE(nexil->lastError(), NoError);
    QTest::qWait(4 * shortTimeout);
    QCOMPARE(device->requests().size(), 1);
    QVERIFY(errors.isEmpty());
    // Nobody waits for the cancelled request's reply any more: dropped.
    device->send(identityReply());
    QVERIFY(!identities.wait(4 * shortTimeout));
    QVERIFY(!nexil->isBusy());
}

namespace {

QByteArray acknowledgement(const QByteArray &word)
{
    // Padded as a device pads it: no reply is shorter than 40 bytes.
    return reply("CEV", payload({word, QByteArray(10, ' ')}));
}

} // namespace

void tst_Nexil::lateReply_doesNotEndTheNextRequest()
{
    // The reply to a read came after its resend; the resend's reply comes
    // while an upload waits for its acknowledgement.
    nexil->setReplyTimeout(60000);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    QSignalSpy changed(nexil, &Nexil::passwordChanged);
    nexil->getDeviceIdentity();
    device->send(identityReply());
    QVERIFY(identities.wait(2000));
    nexil->setPassword("1234", "5678");
    QTRY_COMPARE(device->requests().size(), 2);
    device->send(identityReply());
    QVERIFY(!identities.wait(4 * shortTimeout));
    QVERIFY(nexil->isBusy());
    device->send(acknowledgement("DEG"));
    QVERIFY(changed.wait(2000));
    QVERIFY(!nexil->isBusy());
    QCOMPARE(identities.size(), 1);

    // An acknowledgement while only a read is pending ends nothing.
    QSignalSpy names(nexil, &Nexil::channelNames);
    nexil->getChannelNames();
    device->send(acknowledgement("DEG"));
    QVERIFY(!changed.wait(4 * shortTimeout));
    QVERIFY(nexil->isBusy());
    device->send(reply("RKL", payload(testrecords::nameFields())));
    QVERIFY(names.wait(2000));
}

void tst_Nexil::twoRepliesInOneRead_eachHandledAlone()
{
    // A duplicate reply and the awaited one arrive together.
    nexil->setReplyTimeout(60000);
    QSignalSpy changed(nexil, &Nexil::passwordChanged);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    nexil->setPassword("1234", "5678");
    device->send(identityReply() + acknowledgement("DEG"));
    QVERIFY(changed.wait(2000));
    QVERIFY(identities.isEmpty());

    nexil->getDeviceIdentity();
    nexil->setReplyTimeout(60000);
    device->send(acknowledgement("DEG") + identityReply());
    QVERIFY(identities.wait(2000));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(identities.first().at(0).value<DeviceIdentity>().stationName, QStringLiteral("Kuru Dere"));
}

void tst_Nexil::replyInChunks_decodedOnce()
{
    nexil->setReplyTimeout(60000);
    // 27 header bytes, 20 payload bytes, 3 CRs: 50 bytes.
    const QByteArray frame = reply("KML", payload({"Sta", "1-2-3", "COD", "xxxx"}));
    QCOMPARE(frame.size(), 50);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    nexil->getDeviceIdentity();
    device->send(frame.left(20));
    QTRY_VERIFY(client->bytesAvailable() == 0);
    QVERIFY(!identities.wait(3 * shortTimeout));
    device->send(frame.mid(20));
    QVERIFY(identities.wait(2000));
    QCOMPARE(identities.size(), 1);
    const DeviceIdentity id = identities.first().at(0).value<DeviceIdentity>();
    QCOMPARE(id.stationName, QStringLiteral("Sta"));
    QCOMPARE(id.stationNo, 3);
    QCOMPARE(id.header.deviceType, DeviceTQM510);
    QCOMPARE(nexil->currentDeviceType(), DeviceTQM510);
}

void tst_Nexil::firmware50_neverDecoded()
{
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    QSignalSpy errors(nexil, &Nexil::error);
    device->setHandler([](const QByteArray &) { return identityReply("ZazEroDar", "V50"); });
    nexil->getDeviceIdentity();
    QVERIFY(errors.wait(5000));
    QVERIFY(identities.isEmpty());
    QCOMPARE(errors.first().at(0).toInt(), 5);
    QCOMPARE(device->requests().size(), 5);

    nexil->clearError();
    device->setHandler([](const QByteArray &) { return QByteArray(); });
    nexil->setReplyTimeout(60000);
    nexil->getDeviceIdentity();
    device->send(identityReply("ZazEroDar", "V50"));
    QTRY_COMPARE(nexil->lastError(), UnsupportedFirmware);
    QCOMPARE(nexil->lastErrorString(), QStringLiteral("Desteklenmeyen firmware sürümü."));
    QVERIFY(nexil->isBusy());
    device->send(identityReply("ZazEroDar", "V51"));
    QVERIFY(identities.wait(2000));
}

void tst_Nexil::headerCrcMismatch_dropsAndResends()
{
    QByteArray bad = identityReply();
    bad[25] = char(bad[25] ^ 0x40);
    int answered = 0;
    device->setHandler([&](const QByteArray &) { return answered++ == 0 ? bad : identityReply(); });
    nexil->setReplyTimeout(300); // long enough for a reply, so the resends are counted exactly
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    nexil->getDeviceIdentity();
    QVERIFY(identities.wait(3000));
    QCOMPARE(device->requests().size(), 2);
    // The checksum error was replaced by the frame's rejection.
    QCOMPARE(nexil->lastError(), UnknownResponse);
    QCOMPARE(nexil->lastErrorString(), QStringLiteral("Bilinmeyen cevap."));
}

void tst_Nexil::payloadCrcMismatch_resentUntilGood()
{
    int answered = 0;
    device->setHandler([&](const QByteArray &) {
        QByteArray frame = reply("RKL", payload(testrecords::nameFields()));
        if (answered++ < 3)
            frame[40] = char(frame[40] ^ 0x01);
        return frame;
    });
    QSignalSpy names(nexil, &Nexil::channelNames);
    nexil->setReplyTimeout(300);
    nexil->getChannelNames();
    QVERIFY(names.wait(3000));
    QCOMPARE(device->requests().size(), 4);
    QCOMPARE(nexil->lastError(), ChecksumError);
    QCOMPARE(nexil->storedChannelNames().activeChannels, QList<int>({0, 1, 3}));
}

void tst_Nexil::unknownModel_dropped()
{
    nexil->setReplyTimeout(60000);
    nexil->getDeviceIdentity();
    device->send(identityReply("TQX999"));
    QTRY_COMPARE(nexil->lastError(), UnknownResponse);
    QVERIFY(nexil->isBusy());
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    device->send(identityReply());
    QVERIFY(identities.wait(2000));
}

void tst_Nexil::lastError_survivesSuccess()
{
    nexil->setReplyTimeout(60000);
    nexil->getDeviceIdentity();
    nexil->getInstantValues(); // refused: busy
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    device->send(identityReply());
    QVERIFY(identities.wait(2000));
    QCOMPARE(nexil->lastError(), DeviceBusy);
    nexil->clearError();
    QCOMPARE(nexil->lastError(), NoError);
    QVERIFY(nexil->lastErrorString().isNull());
}

namespace {

// Answers the download chain and block requests from a memory image.
FakeDevice::Handler downloadDevice(const QByteArray &memory, int lastPage, int lastBuffer,
                                   int pageNumberOffset = 0)
{
    return [=](const QByteArray &request) -> QByteArray {
        if (request.startsWith("\x02OKU"))
            return reply("PAR", payload(testrecords::setupFields("110100000", 3)));
        if (request.startsWith("\x02"
                               "DKU"))
            return reply("DOS", payload({"1", "01/12/26 00:00", QByteArray::number(lastPage),
                                         QByteArray::number(lastBuffer), QByteArray::number(lastPage),
                                         QByteArray::number(lastBuffer)}));
        if (request.startsWith("\x02KOK"))
            return reply("KOK", payload(testrecords::calibrationFields()));
        if (request.startsWith("\x02RKL"))
            return reply("RKL", payload(testrecords::nameFields()));
        if (request.startsWith("\x02"
                               "AKT")) {
            const int page = request.mid(4, 8).toInt() - pageNumberOffset;
            const int buffer = request.mid(12, 4).toInt();
            const int wirePage = (page + pageNumberOffset) & 0xFFFF;
            QByteArray body;
            body.append('\0').append(char(wirePage >> 8)).append(char(wirePage & 0xFF));
            if (page > lastPage || (page == lastPage && lastBuffer == 0)) {
                body += "BITTI";
            } else {
                QByteArray data = memory.mid(page * 512 + buffer, 512 - buffer);
                data += QByteArray(512 - buffer - data.size(), '\xFF');
                body += data;
            }
            body.append('\0');
            return reply("VER", testframes::rawPayload(body));
        }
        return QByteArray();
    };
}

QByteArray sampleMemory(int records)
{
    using namespace testmemory;
    QByteArray memory = timeStamp(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    for (int i = 0; i < records; ++i)
        memory += measurement(10 * i, {float(i), float(i) + 0.5f, -9999.0f});
    return memory;
}

} // namespace

void tst_Nexil::download_chainPagesAndDataFile()
{
    const QByteArray memory = sampleMemory(150); // 8 + 150 * 18 bytes: page 5, buffer 140
    const int lastPage = memory.size() / 512;
    const int lastBuffer = memory.size() % 512;
    device->setHandler(downloadDevice(memory, lastPage, lastBuffer));
    nexil->setReplyTimeout(2000);

    QSignalSpy started(nexil, &Nexil::downloadStarted);
    QSignalSpy progress(nexil, &Nexil::downloadProgress);
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    QSignalSpy setups(nexil, &Nexil::setupParameters);
    nexil->getData(QDateTime(QDate(2020, 1, 1), QTime(0, 0)), 0, 0);
    QVERIFY(completed.wait(5000));

    QCOMPARE(setups.size(), 1);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().at(0).toInt(), lastPage + 1);
    QCOMPARE(progress.size(), lastPage + 1);
    QCOMPARE(progress.last().at(0).toInt(), lastPage + 1);
    QCOMPARE(files.size(), 1);
    const QList<DataFile> list = files.first().at(0).value<QList<DataFile>>();
    QCOMPARE(list.size(), 1);
    const DataFile file = list.first();
    QCOMPARE(file.lines.size(), 450);
    QCOMPARE(file.lines[3].dateTime, QDateTime(QDate(2026, 12, 1), QTime(0, 10)));
    QCOMPARE(file.lines[3].value, 1.0f);
    QVERIFY(file.lines[0].setTime);
    QVERIFY(!file.lines[3].setTime);
    QCOMPARE(file.lines[449].value, -9999.0f);
    QCOMPARE(file.memoryPage, lastPage);
    QCOMPARE(file.memoryBuffer, lastBuffer);
    QCOMPARE(file.channelCount, 3);
    QCOMPARE(file.stationCode, QStringLiteral("D14A003"));
    QVERIFY(!nexil->isBusy());
    QVERIFY(!nexil->isDownloading());

    // The chain in order, the first block from the start, then whole pages.
    const QList<QByteArray> requests = device->requests();
    QVERIFY(requests[0].startsWith("\x02OKU"));
    QVERIFY(requests[1].startsWith("\x02"
                                   "DKU"));
    QVERIFY(requests[2].startsWith("\x02KOK"));
    QVERIFY(requests[3].startsWith("\x02RKL"));
    QCOMPARE(requests[4].mid(1, 16), QByteArray("AKT000000000000\r"));
    QCOMPARE(requests[5].mid(1, 16), QByteArray("AKT000000010000\r"));
    QCOMPARE(device->requestCount("\x02"
                                  "AKT"),
             lastPage + 2);
}

void tst_Nexil::download_slowLinkAndStarvedLoop_eachBlockCountsItsOwn()
{
    // Each block's reply trickles in over three reply times, in pieces that
    // are never further apart than one: the request is being answered and
    // is not sent again, so no late reply to a resend delays the next block.
    const QByteArray memory = sampleMemory(80);
    const int lastPage = memory.size() / 512;
    const int lastBuffer = memory.size() % 512;
    const FakeDevice::Handler chain = downloadDevice(memory, lastPage, lastBuffer);
    QList<QByteArray> pieces;
    QTimer pump;
    pump.setInterval(60);
    connect(&pump, &QTimer::timeout, this, [&] {
        if (pieces.isEmpty())
            pump.stop();
        else
            device->send(pieces.takeFirst());
    });
    device->setHandler([&](const QByteArray &request) -> QByteArray {
        const QByteArray answer = chain(request);
        if (!request.startsWith("\x02"
                                "AKT"))
            return answer;
        const int size = (answer.size() + 4) / 5;
        for (int at = 0; at < answer.size(); at += size)
            pieces << answer.mid(at, size);
        if (!pump.isActive())
            pump.start();
        return QByteArray();
    });
    nexil->setReplyTimeout(100);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    QSignalSpy errors(nexil, &Nexil::error);
    nexil->getData(QDateTime(QDate(2020, 1, 1), QTime(0, 0)), 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!completed.isEmpty() || !errors.isEmpty(), 20000);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(1).toString()));
    QCOMPARE(device->requestCount("\x02"
                                  "AKT"),
             lastPage + 2);

    // A process that does not get the processor for several reply times
    // finds the answer waiting when its timer runs: read, not asked again.
    device->setHandler(nullptr);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    const int before = device->requests().size();
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), before + 1);
    // The answer is on the line; this thread then gets no processor.
    device->send(reply("KML", payload({"Sta", "1-2-3", "COD", "xxxx"})));
    QElapsedTimer starved;
    starved.start();
    while (starved.elapsed() < 350) {
    }
    QTRY_COMPARE(identities.size(), 1);
    QTest::qWait(150);
    QCOMPARE(device->requests().size(), before + 1);
    device->setHandler(nullptr);
}

void tst_Nexil::download_firstReplyBitti()
{
    using namespace testmemory;
    // Resuming at the write position: nothing new, an empty file described by the device.
    device->setHandler(downloadDevice(QByteArray(), 4, 0));
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    QSignalSpy started(nexil, &Nexil::downloadStarted);
    nexil->setReplyTimeout(2000);
    nexil->getData(QDateTime::currentDateTime(), 4, 300);
    QVERIFY(completed.wait(5000));
    QCOMPARE(started.first().at(0).toInt(), 0);
    const DataFile file = files.first().at(0).value<QList<DataFile>>().first();
    QVERIFY(file.lines.isEmpty());
    QCOMPARE(file.stationName, QStringLiteral("Kuru Dere"));
    QCOMPARE(file.channelNames, QStringList({"Name 0", "Name 1", "Name 3"}));
    QCOMPARE(device->requests().last().mid(1, 16), QByteArray("AKT000000040300\r"));
}

void tst_Nexil::download_garbledWritePositionCountsNoPages()
{
    // The lowest int as the write position, behind a resume point: no page
    // to count, and no overflow on the way.
    device->setHandler(downloadDevice(QByteArray(), std::numeric_limits<int>::min(), 0));
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    QSignalSpy started(nexil, &Nexil::downloadStarted);
    nexil->setReplyTimeout(2000);
    nexil->getData(QDateTime::currentDateTime(), 15, 0);
    QVERIFY(completed.wait(5000));
    QCOMPARE(started.first().at(0).toInt(), 0);
}

void tst_Nexil::download_pageNumbersAre16Bits()
{
    // A memory past page 65535: the device reports the page modulo 65536.
    const QByteArray memory = sampleMemory(60);
    const int offset = 65535;
    device->setHandler([=](const QByteArray &request) -> QByteArray {
        if (request.startsWith("\x02"
                               "DKU"))
            return reply("DOS", payload({"0", QByteArray::number(offset + 2), "64"}));
        return downloadDevice(memory, 2, 64, offset)(request);
    });
    nexil->setReplyTimeout(2000);
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    nexil->getData(QDateTime::currentDateTime(), offset, 0);
    QVERIFY(completed.wait(5000));
    QCOMPARE(files.first().at(0).value<QList<DataFile>>().first().lines.size(), 180);
    QCOMPARE(device->requestCount("\x02"
                                  "AKT00065536"),
             1);
}

void tst_Nexil::download_bittiInsidePageDataEndsIt()
{
    // The end marker is searched anywhere in a block, so page data holding it ends the download there.
    QByteArray memory = sampleMemory(60);
    memory.replace(600, 5, "BITTI");
    device->setHandler(downloadDevice(memory, memory.size() / 512, memory.size() % 512));
    nexil->setReplyTimeout(2000);
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    nexil->getData(QDateTime::currentDateTime(), 0, 0);
    QVERIFY(completed.wait(5000));
    QCOMPARE(device->requestCount("\x02"
                                  "AKT"),
             2);
    // Only page 0 was kept: 8 bytes of time stamp and 28 whole records of 18 bytes.
    QCOMPARE(files.first().at(0).value<QList<DataFile>>().first().lines.size(), 28 * 3);
}

void tst_Nexil::download_shortLastRecordAtWritePositionIsKept()
{
    // Channels with different intervals: the last record holds one entry of three.
    using namespace testmemory;
    const QByteArray memory = sampleMemory(40) + measurement(400, {5.5f});
    device->setHandler(downloadDevice(memory, memory.size() / 512, memory.size() % 512));
    nexil->setReplyTimeout(2000);
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    nexil->getData(QDateTime::currentDateTime(), 0, 0);
    QVERIFY(completed.wait(5000));
    const DataFile file = files.first().at(0).value<QList<DataFile>>().first();
    QCOMPARE(file.lines.size(), 40 * 3 + 1);
    QCOMPARE(file.lines.last().value, 5.5f);
    QCOMPARE(file.lines.last().channel, 0);
    QCOMPARE(file.lines.last().dateTime, QDateTime(QDate(2026, 12, 1), QTime(6, 40)));
}

void tst_Nexil::download_progressStaysWithinTotalWhileDeviceWrites()
{
    // The device reported page 2 at the start and has written on to page 5 since.
    const QByteArray memory = sampleMemory(160);
    const int reportedPage = 2;
    const int reportedBuffer = 100;
    device->setHandler([=](const QByteArray &request) -> QByteArray {
        if (request.startsWith("\x02"
                               "DKU"))
            return reply(
                "DOS", payload({"0", QByteArray::number(reportedPage), QByteArray::number(reportedBuffer)}));
        return downloadDevice(memory, memory.size() / 512, memory.size() % 512)(request);
    });
    nexil->setReplyTimeout(2000);
    QSignalSpy started(nexil, &Nexil::downloadStarted);
    QSignalSpy progress(nexil, &Nexil::downloadProgress);
    QSignalSpy files(nexil, &Nexil::dataFile);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    nexil->getData(QDateTime::currentDateTime(), 0, 0);
    QVERIFY(completed.wait(5000));
    QCOMPARE(started.first().at(0).toInt(), 3);
    QVERIFY(progress.size() > 3);
    for (const QList<QVariant> &p : progress) {
        QVERIFY2(p.at(0).toInt() <= p.at(1).toInt(),
                 qPrintable(QStringLiteral("%1/%2").arg(p.at(0).toInt()).arg(p.at(1).toInt())));
    }
    QCOMPARE(progress.last().at(0).toInt(), 3);
    // Only what lay before the reported position is decoded: (2 * 512 + 100 - 8) / 18 records.
    const DataFile file = files.first().at(0).value<QList<DataFile>>().first();
    QCOMPARE(file.lines.size(), 62 * 3);
    QCOMPARE(file.memoryPage, reportedPage);
}

void tst_Nexil::download_startedFromChannelNamesSlot_countsOnce()
{
    // As the collector does: the last read of its own chain starts the
    // download from the signal's slot, resuming at page 2.
    const QByteArray memory = sampleMemory(150);
    const int lastPage = memory.size() / 512;
    device->setHandler(downloadDevice(memory, lastPage, memory.size() % 512));
    nexil->setReplyTimeout(2000);
    connect(nexil, &Nexil::channelNames, nexil, [&] {
        if (!nexil->isDownloading())
            nexil->getData(QDateTime::currentDateTime(), 2, 0);
    });
    QSignalSpy started(nexil, &Nexil::downloadStarted);
    QSignalSpy completed(nexil, &Nexil::downloadCompleted);
    nexil->getChannelNames();
    QVERIFY(completed.wait(5000));
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().at(0).toInt(), lastPage - 2 + 1);
    QCOMPARE(nexil->lastError(), NoError);
}

void tst_Nexil::upload_refusedEveryTime_saysRefused()
{
    device->setHandler([](const QByteArray &) { return acknowledgement("CRCHata"); });
    nexil->setReplyTimeout(500); // the error reply comes well within it, even under load
    QSignalSpy errors(nexil, &Nexil::error);
    nexil->setPassword("1234", "5678");
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.first().at(0).toInt(), int(DeviceRefused));
    QCOMPARE(errors.first().at(1).toString(), QStringLiteral("Cihaz gönderilen kaydı kabul etmedi."));
    QCOMPARE(device->requestCount("\x02SIF"), 5);
    QVERIFY(!nexil->isBusy());

    // Silence after a refusal is a time-out again.
    device->setHandler([](const QByteArray &) { return QByteArray(); });
    nexil->setPassword("1234", "5678");
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.last().at(0).toInt(), int(Timeout));
}

void tst_Nexil::records_surviveQueuedSignalsAcrossThreads()
{
    registerNexilMetaTypes();
    for (const char *name :
         {"DeviceIdentity", "InstantData", "SetupParameters", "ChannelNames", "ChannelCalibrations",
          "AlarmParameters", "FileInformations", "QList<DataFile>", "DeviceHeader", "DataFile"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);

    QThread thread;
    Sink sink;
    sink.moveToThread(&thread);
    Relay relay;
    connect(&relay, &Relay::setup, &sink, &Sink::onSetup, Qt::QueuedConnection);
    connect(&relay, &Relay::files, &sink, &Sink::onFiles, Qt::QueuedConnection);
    connect(&relay, &Relay::alarms, &sink, &Sink::onAlarms, Qt::QueuedConnection);
    thread.start();

    SetupParameters setup;
    setup.stationName = "Kuru Dere";
    setup.activeChannels = {0, 4};
    InstantValue max;
    max.label = "Level";
    max.value = 3.25f;
    max.dateTime = QDateTime(QDate(2026, 1, 2), QTime(3, 4));
    max.valueType = ValueMAX;
    setup.maximumValues << max;
    setup.waitForExactHour = true;
    setup.header.firmwareVersion = 61;
    DataFile file;
    file.channelCodes = {CodeWAL, CodePR};
    DataLine line;
    line.value = -9999.0f;
    line.valueTypeName = "INS";
    line.setTime = true;
    file.lines << line;
    AlarmParameters alarms;
    AlarmEvent event;
    event.channel = 2;
    event.value = 1.5f;
    alarms.maximumEvents << event;
    alarms.alarmFlags = {true, false};

    emit relay.setup(setup);
    emit relay.files({file});
    emit relay.alarms(alarms);
    QTRY_COMPARE(sink.alarms.alarmFlags.size(), 2);
    thread.quit();
    thread.wait();
    QVERIFY(sink.thread != QThread::currentThreadId());
    QCOMPARE(sink.setup.stationName, setup.stationName);
    QCOMPARE(sink.setup.activeChannels, setup.activeChannels);
    QCOMPARE(sink.setup.maximumValues.first().dateTime, max.dateTime);
    QCOMPARE(sink.setup.maximumValues.first().valueType, ValueMAX);
    QVERIFY(sink.setup.waitForExactHour);
    QCOMPARE(sink.setup.header.firmwareVersion, 61);
    QCOMPARE(sink.files.first().channelCodes, file.channelCodes);
    QCOMPARE(sink.files.first().lines.first().value, -9999.0f);
    QVERIFY(sink.files.first().lines.first().setTime);
    QCOMPARE(sink.alarms.maximumEvents.first().channel, 2);
}

QTEST_GUILESS_MAIN(tst_Nexil)
#include "tst_nexil.moc"
