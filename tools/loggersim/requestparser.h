#pragma once

// Splits the bytes a host sends into requests. Plain reads are STX + word +
// CR CR CR; data-block requests and uploads carry a CRC16 that may itself hold
// 0x0D bytes, so a checked request ends at CR, CRC, CR CR CR where the CRC
// matches. A checked request whose CRC never matches is
// released by flushStale() once the line has been idle.

#include <QByteArray>
#include <QList>

namespace loggersim {

struct Request
{
    enum Kind {
        Plain,   // STX word CR CR CR
        Checked, // STX word body CR crc crc CR CR CR
        Factory, // STX "SET4826" CR CR CR (factory tool, no CRC)
        Unknown  // anything else that ended with CR CR CR
    };
    Kind kind = Unknown;
    QByteArray word; // three letters
    QByteArray body; // checked: bytes between the word and the CR before the CRC
    bool crcOk = true;
    QByteArray raw; // the whole request as received
};

class RequestParser
{
public:
    static bool isPlainWord(const QByteArray &word);
    static bool isCheckedWord(const QByteArray &word);

    void feed(const QByteArray &bytes);
    // Complete requests in arrival order.
    QList<Request> take();
    // True when the buffer holds a checked request whose CRC did not match (yet).
    bool hasStale() const;
    // Releases such a request as crcOk = false.
    QList<Request> flushStale();
    void clear() { m_buffer.clear(); }
    int buffered() const { return m_buffer.size(); }

private:
    bool parseOne(QList<Request> *out, bool releaseStale);

    QByteArray m_buffer;
};

} // namespace loggersim
