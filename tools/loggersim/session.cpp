#include "session.h"

namespace loggersim {

Session::Session(Device *device, const FaultOptions &options, QObject *parent)
    : QObject(parent), m_device(device), m_options(options), m_rng(options.seed)
{
    m_staleTimer.setSingleShot(true);
    m_staleTimer.setInterval(qMax(1, options.staleMs));
    connect(&m_staleTimer, &QTimer::timeout, this, [this] {
        if (m_parser.hasStale())
            process(m_parser.flushStale());
    });
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setInterval(1);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &Session::pump);
}

bool Session::openLog(const QString &path, QString *error)
{
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_log.errorString());
        return false;
    }
    return true;
}

QList<int> Session::chunkSizes(const QByteArray &frame, int maxChunk, QRandomGenerator *rng)
{
    QList<int> sizes;
    if (maxChunk <= 0) {
        sizes << frame.size();
        return sizes;
    }
    int pos = 0;
    while (pos < frame.size()) {
        int size = 1 + int(rng->bounded(quint32(maxChunk)));
        int end = qMin(frame.size(), pos + size);
        // The host takes a frame as soon as its buffer holds 40 bytes ending in CR CR CR;
        // never stop inside a frame at such a point.
        while (end < frame.size() && end >= 40 && frame.at(end - 1) == '\r' && frame.at(end - 2) == '\r' &&
               frame.at(end - 3) == '\r')
            ++end;
        sizes << end - pos;
        pos = end;
    }
    return sizes;
}

void Session::reset()
{
    ++m_generation;
    m_parser.clear();
    m_out.clear();
    m_staleTimer.stop();
    m_pumpTimer.stop();
}

void Session::receive(const QByteArray &bytes)
{
    m_parser.feed(bytes);
    process(m_parser.take());
    if (m_parser.buffered() > 0)
        m_staleTimer.start();
    else
        m_staleTimer.stop();
}

void Session::logLine(const QByteArray &line)
{
    if (!m_log.isOpen())
        return;
    m_log.write(line);
    m_log.write("\n");
    m_log.flush();
}

void Session::process(const QList<Request> &requests)
{
    for (const Request &request : requests) {
        QByteArray line = request.kind == Request::Unknown ? QByteArray("?") + request.word : request.word;
        if (request.kind == Request::Factory)
            line += " factory";
        if (request.word == "AKT" && request.kind == Request::Checked)
            line += " page=" + QByteArray::number(request.body.left(8).toInt()) +
                    " buffer=" + QByteArray::number(request.body.mid(8, 4).toInt());
        if (request.kind == Request::Checked && !request.crcOk)
            line += " crc=bad";
        if (request.kind == Request::Unknown) {
            logLine(line + " ignored");
            continue;
        }
        ++m_requests;
        const bool drop = m_options.dropEvery > 0 && m_requests % m_options.dropEvery == 0;
        if (drop) {
            logLine(line + " dropped");
            continue;
        }
        ++m_replies;
        const bool corrupt = m_options.corruptEvery > 0 && m_replies % m_options.corruptEvery == 0;
        logLine(corrupt ? line + " corrupt" : line);
        if (m_options.delayMs > 0) {
            const quint64 generation = m_generation;
            QTimer::singleShot(m_options.delayMs, this, [this, request, corrupt, generation] {
                respond(request, corrupt, generation);
            });
        } else {
            respond(request, corrupt, m_generation);
        }
    }
}

void Session::respond(const Request &request, bool corrupt, quint64 generation)
{
    if (generation != m_generation)
        return;
    const Reply reply = m_device->handle(request, corrupt);
    if (reply.bytes.isEmpty())
        return;
    bool hangUpAfter = false;
    if (reply.dataBlock) {
        ++m_blocks;
        if (m_options.disconnectAfterBlocks > 0 && !m_hungUp && m_blocks >= m_options.disconnectAfterBlocks) {
            m_hungUp = true;
            hangUpAfter = true;
        }
    }
    enqueue(reply.bytes, hangUpAfter);
}

void Session::enqueue(const QByteArray &frame, bool hangUpAfter)
{
    const QList<int> sizes = chunkSizes(frame, m_options.split, &m_rng);
    int pos = 0;
    for (int i = 0; i < sizes.size(); ++i) {
        m_out.append({frame.mid(pos, sizes.at(i)), hangUpAfter && i == sizes.size() - 1});
        pos += sizes.at(i);
    }
    if (m_options.split <= 0)
        pump();
    else if (!m_pumpTimer.isActive())
        m_pumpTimer.start();
}

void Session::pump()
{
    // Unsplit replies go out whole; split ones one chunk per timer tick.
    while (!m_out.isEmpty()) {
        const Chunk chunk = m_out.takeFirst();
        emit send(chunk.bytes);
        if (chunk.hangUpAfter) {
            emit hangUp();
            return;
        }
        if (m_options.split > 0)
            break;
    }
    if (!m_out.isEmpty())
        m_pumpTimer.start();
}

} // namespace loggersim
