#include "requestparser.h"

#include "nexil/protocol/crc16.h"

namespace loggersim {

namespace {

constexpr char STX = 0x02;
constexpr char CR = 0x0D;
constexpr int MaxBuffer = 16384;
// STX "AKT" 8 + 4 digits CR crc crc CR CR CR
constexpr int BlockRequestSize = 22;

bool endsWithThreeCr(const QByteArray &b, int end)
{
    return end >= 3 && b.at(end - 1) == CR && b.at(end - 2) == CR && b.at(end - 3) == CR;
}

quint16 crcOf(const QByteArray &b, int from, int to)
{
    return nexilcrc::crc16(reinterpret_cast<const unsigned char *>(b.constData()) + from, to - from,
                           to - from);
}

} // namespace

bool RequestParser::isPlainWord(const QByteArray &word)
{
    static const char *const words[] = {"KML", "ANL", "OKU", "RKL", "KOK", "DKU", "ALO"};
    for (const char *w : words) {
        if (word == w)
            return true;
    }
    return false;
}

bool RequestParser::isCheckedWord(const QByteArray &word)
{
    static const char *const words[] = {"AKT", "PAR", "KNL", "KAL", "AYU", "SIF", "SET"};
    for (const char *w : words) {
        if (word == w)
            return true;
    }
    return false;
}

void RequestParser::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    if (m_buffer.size() > MaxBuffer)
        m_buffer = m_buffer.right(MaxBuffer / 2);
}

QList<Request> RequestParser::take()
{
    QList<Request> out;
    while (parseOne(&out, false)) {
    }
    return out;
}

QList<Request> RequestParser::flushStale()
{
    QList<Request> out;
    if (parseOne(&out, true)) {
        while (parseOne(&out, false)) {
        }
    }
    return out;
}

bool RequestParser::hasStale() const
{
    RequestParser copy = *this;
    QList<Request> ignored;
    if (copy.parseOne(&ignored, false))
        return false;
    return copy.parseOne(&ignored, true);
}

bool RequestParser::parseOne(QList<Request> *out, bool releaseStale)
{
    const int stx = m_buffer.indexOf(STX);
    if (stx < 0) {
        // Keep trailing CRs out of the way; nothing without STX is a request.
        m_buffer.clear();
        return false;
    }
    if (stx > 0)
        m_buffer.remove(0, stx);
    if (m_buffer.size() < 7)
        return false;
    const QByteArray word = m_buffer.mid(1, 3);

    if (isCheckedWord(word)) {
        if (word == "SET" && m_buffer.startsWith(QByteArray("\x02SET4826\r\r\r", 11))) {
            // The checked form would need CRC bytes 0x0D 0x0D here, which "SET4826\r" does not give.
            Request r;
            r.kind = Request::Factory;
            r.word = word;
            r.body = "4826";
            r.raw = m_buffer.left(11);
            m_buffer.remove(0, 11);
            out->append(r);
            return true;
        }
        int firstCandidate = -1;
        for (int end = 10; end <= m_buffer.size(); ++end) {
            if (!endsWithThreeCr(m_buffer, end) || m_buffer.at(end - 6) != CR)
                continue;
            if (word == "AKT" && end != BlockRequestSize)
                continue;
            if (firstCandidate < 0)
                firstCandidate = end;
            const quint16 got = quint16((uchar(m_buffer.at(end - 5)) << 8) | uchar(m_buffer.at(end - 4)));
            if (crcOf(m_buffer, 1, end - 5) != got)
                continue;
            Request r;
            r.kind = Request::Checked;
            r.word = word;
            r.body = m_buffer.mid(4, end - 6 - 4);
            r.crcOk = true;
            r.raw = m_buffer.left(end);
            m_buffer.remove(0, end);
            out->append(r);
            return true;
        }
        if (releaseStale && firstCandidate > 0) {
            Request r;
            r.kind = Request::Checked;
            r.word = word;
            r.body = m_buffer.mid(4, firstCandidate - 6 - 4);
            r.crcOk = false;
            r.raw = m_buffer.left(firstCandidate);
            m_buffer.remove(0, firstCandidate);
            out->append(r);
            return true;
        }
        if (releaseStale) {
            // Never completed: drop the STX so that what follows can be read.
            m_buffer.remove(0, 1);
            return true;
        }
        return false;
    }

    // Plain reads and unknown words: up to the first CR CR CR.
    const int end = m_buffer.indexOf(QByteArray(3, CR));
    if (end < 0)
        return false;
    Request r;
    r.word = word;
    r.raw = m_buffer.left(end + 3);
    r.kind = (end == 4 && isPlainWord(word)) ? Request::Plain : Request::Unknown;
    r.body = m_buffer.mid(4, end - 4);
    m_buffer.remove(0, end + 3);
    out->append(r);
    return true;
}

} // namespace loggersim
