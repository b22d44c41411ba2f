#pragma once

// One conversation of the device with a host, independent of the transport:
// request framing, the request log, the answers and the fault injection
// (split, drop, corrupt, delay, disconnect after blocks).

#include "device.h"
#include "requestparser.h"

#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

namespace loggersim {

struct FaultOptions
{
    int split = 0;                 // write replies in random chunks of at most this many bytes
    quint32 seed = 1;              // RNG seed for the chunk sizes
    int dropEvery = 0;             // no answer to every K-th request
    int corruptEvery = 0;          // bad payload CRC on every K-th reply
    int delayMs = 0;               // wait before each reply
    int disconnectAfterBlocks = 0; // hang up once after this many data blocks
    int staleMs = 250;             // idle time after which an unmatched checked request counts as CRC error
};

class Session : public QObject
{
    Q_OBJECT
public:
    Session(Device *device, const FaultOptions &options, QObject *parent = nullptr);

    // Opens the request log (one line per request, flushed per line).
    bool openLog(const QString &path, QString *error);

    // Chunk boundaries of one reply as written with --split (sizes, summing to the frame size).
    // A boundary never leaves 40 or more bytes ending in CR CR CR before the frame's end.
    static QList<int> chunkSizes(const QByteArray &frame, int maxChunk, QRandomGenerator *rng);

    int requestCount() const { return m_requests; }

public slots:
    // Bytes from the host.
    void receive(const QByteArray &bytes);
    // The link went down or came up anew: forget partial requests and queued replies.
    void reset();

signals:
    // Bytes for the host.
    void send(const QByteArray &bytes);
    // The simulated device drops the line (--disconnect-after-blocks).
    void hangUp();

private:
    void process(const QList<Request> &requests);
    void logLine(const QByteArray &line);
    void respond(const Request &request, bool corrupt, quint64 generation);
    void enqueue(const QByteArray &frame, bool hangUpAfter);
    void pump();

    Device *m_device;
    FaultOptions m_options;
    RequestParser m_parser;
    QFile m_log;
    QTimer m_staleTimer;
    QTimer m_pumpTimer;
    QRandomGenerator m_rng;
    int m_requests = 0;
    int m_replies = 0;
    int m_blocks = 0;
    bool m_hungUp = false;
    quint64 m_generation = 0;
    struct Chunk
    {
        QByteArray bytes;
        bool hangUpAfter = false;
    };
    QList<Chunk> m_out;
};

} // namespace loggersim
