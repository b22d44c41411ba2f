// The memory download of Nexil: the start chain, page requests and the
// decoding of the collected pages.

#include "memorydecoder.h"
#include "nexil/protocol/connection.h"
#include "nexil/protocol/nexil.h"
#include "nexil/protocol/wire.h"

#include "nexil/logging.h"
#include <QDebug>
#include <QTimer>
#include <algorithm>
#include <limits>

using wire::code;

void Nexil::getData(const QDateTime &time, int page, int buffer)
{
    downloading = true;
    baseTime = time;
    keepFromOffset = 0;
    if (!time.isValid() && (page > 0 || buffer > 0)) {
        // Records count minutes from the last time stamp before them, which
        // lies somewhere behind the resume point: without it every value
        // would be undated. Read from the start and keep what follows.
        keepFromOffset = qint64(qMax(0, page)) * 512 + qMax(0, buffer);
        qCInfo(lcDownload, "no time base for page %d buffer %d: reading the memory from its start", page,
               buffer);
        page = 0;
        buffer = 0;
    }
    currentPage = page;
    firstPage = page;
    firstBuffer = buffer;
    startBuffer = buffer;
    getSetupParemeters();
}

void Nexil::calculateDownloads()
{
    // A write position behind the resume point (a device whose memory was
    // cleared) leaves nothing to count.
    // Counted wide: a garbled reply may carry any int.
    const qint64 count = qint64(downloadLastPage) - currentPage + (downloadLastBuffer != 0 ? 1 : 0);
    pageCount = int(qBound<qint64>(0, count, std::numeric_limits<int>::max()));
    downloadBuffer.clear();
    qCDebug(lcDownload, "calculateDownloads(): %d", pageCount);
    emit downloadStarted(pageCount);
    getNextBlock();
}

void Nexil::getNextBlock()
{
    if (!startRequest(code("VER"), busyTextCapital()))
        return;
    // Each block gets the whole reply time: a reply that straddled a tick of a
    // timer left running would have its block requested again.
    timer->start();
    const QByteArray body = QByteArray("AKT") + QByteArray::number(currentPage).rightJustified(8, '0') +
                            QByteArray::number(startBuffer).rightJustified(4, '0') + wire::CR;
    connection->write(wire::checkedRequest(body));
}

void Nexil::parseDataBlock(const DeviceHeader &header, const QByteArray &payload)
{
    if (!downloading)
        return;
    const QByteArray block = payload.left(qMax(0, header.dataLength));
    if (block.size() < 2 ||
        !wire::verifyChecksum(block.left(block.size() - 2), unsigned(wire::hex2long(block.right(2))))) {
        setError(ChecksumError, tr("Checksum hatası."));
        return;
    }
    if (block.contains("BITTI")) {
        timer->stop();
        command = 0;
        busy = false;
        attempts = 0;
        downloading = false;
        parseDataBuffer();
        return;
    }
    if (block.size() < 6)
        return;
    // The page number is 16 bits on the wire.
    const int page = int(wire::hex2long(block.mid(1, 2)));
    if (page != (currentPage & 0xFFFF))
        return;
    downloadBuffer.append(block.mid(3, block.size() - 6));
    // Pages the device writes during the download come on top of the count
    // announced at its start; the progress stays within it.
    emit downloadProgress(qMin(currentPage + 1 - firstPage, pageCount), pageCount);
    ++currentPage;
    busy = false;
    startBuffer = 0;
    attempts = 0;
    getNextBlock();
}

void Nexil::parseDataBuffer()
{
    MemoryDevice device;
    device.setup = setup;
    device.names = names;
    device.calibrations = calibrations;
    device.lastPage = downloadLastPage;
    device.lastBuffer = downloadLastBuffer;
    // The device answers pages up to where it writes now, but the file keeps
    // the position reported before the pages were read and the next download
    // starts there: records written in between are left to it, not saved twice.
    // That position is a record boundary, so the record ending there is whole.
    const qint64 end = (qint64(downloadLastPage) - firstPage) * 512 + downloadLastBuffer - firstBuffer;
    const bool atWritePosition = end >= 0 && end <= downloadBuffer.size();
    const int size = atWritePosition ? int(end) : downloadBuffer.size();
    // A view of the pages, not a copy of a possibly large image.
    const QByteArray image = QByteArray::fromRawData(downloadBuffer.constData(), size);
    const int keepFrom = int(qBound<qint64>(0, keepFromOffset, std::numeric_limits<int>::max()));
    DataFile file = memory::decode(
        image, device, baseTime, QDateTime::currentDateTime(), catalogue,
        atWritePosition ? memory::ImageEnd::WritePosition : memory::ImageEnd::Anywhere, keepFrom);
    // A value without its time cannot be placed: no base was found for it
    // even from the start of memory (a device that never stamped it).
    const int before = int(file.lines.size());
    file.lines.erase(std::remove_if(file.lines.begin(), file.lines.end(),
                                    [](const DataLine &l) { return !l.dateTime.isValid(); }),
                     file.lines.end());
    if (file.lines.size() != before)
        qCWarning(lcDownload, "%d values without a time were left out", before - int(file.lines.size()));
    emit dataFile(QList<DataFile>{file});
    emit downloadCompleted();
}
