#pragma once

// Little-endian records of the .xls (BIFF8) format.

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <cstring>

namespace biff {

enum RecordId : quint16 {
    BOF = 0x0809,
    EOF_ = 0x000A,
    CODEPAGE = 0x0042,
    WINDOW1 = 0x003D,
    DATE1904 = 0x0022,
    FONT = 0x0031,
    FORMAT = 0x041E,
    XF = 0x00E0,
    STYLE = 0x0293,
    BOUNDSHEET = 0x0085,
    SST = 0x00FC,
    CONTINUE = 0x003C,
    EXTSST = 0x00FF,
    WSBOOL = 0x0081,
    LEFTMARGIN = 0x0026,
    COLINFO = 0x007D,
    DIMENSIONS = 0x0200,
    ROW = 0x0208,
    NUMBER = 0x0203,
    LABELSST = 0x00FD,
    BLANK = 0x0201,
    WINDOW2 = 0x023E,
    MERGECELLS = 0x00E5,
    SETUP = 0x00A1,
    HORIZONTALPAGEBREAKS = 0x001B,
    SUPBOOK = 0x01AE,
    EXTERNSHEET = 0x0017,
    NAME = 0x0018,
    MSODRAWINGGROUP = 0x00EB,
    MSODRAWING = 0x00EC,
    OBJ = 0x005D,
};

const int MaxRecordData = 8224;

class Stream
{
public:
    QByteArray b;

    // A record whose data may run on in CONTINUE records.
    void record(quint16 id, const QByteArray &data)
    {
        for (int from = 0;; from += MaxRecordData) {
            const int h = begin(from == 0 ? id : quint16(CONTINUE));
            b.append(data.mid(from, MaxRecordData));
            end(h);
            if (from + MaxRecordData >= data.size())
                break;
        }
    }

    void u8(quint8 v) { b.append(char(v)); }
    void u16(quint16 v)
    {
        char t[2];
        qToLittleEndian(v, t);
        b.append(t, 2);
    }
    void u32(quint32 v)
    {
        char t[4];
        qToLittleEndian(v, t);
        b.append(t, 4);
    }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        char t[8];
        qToLittleEndian(bits, t);
        b.append(t, 8);
    }
    int pos() const { return b.size(); }
    // Returns where the record's header starts; end() fills in its length.
    int begin(quint16 id)
    {
        const int at = b.size();
        u16(id);
        u16(0);
        return at;
    }
    void end(int header) { qToLittleEndian(quint16(b.size() - header - 4), b.data() + header + 2); }
    void patch32(int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

    void utf16Chars(const QString &s, int from, int count, bool wide)
    {
        for (int i = from; i < from + count; ++i) {
            const ushort c = s.at(i).unicode();
            if (wide)
                u16(c);
            else
                u8(quint8(c));
        }
    }
    // cch u8, flags, characters
    void shortString(const QString &s)
    {
        const QString t = s.left(255);
        const bool wide = needsWide(t);
        u8(quint8(t.size()));
        u8(wide ? 1 : 0);
        utf16Chars(t, 0, t.size(), wide);
    }
    // cch u16, flags, characters
    void longString(const QString &s)
    {
        const bool wide = needsWide(s);
        u16(quint16(s.size()));
        u8(wide ? 1 : 0);
        utf16Chars(s, 0, s.size(), wide);
    }
    // A drawing record header: version and instance, type, length.
    void art(quint16 ver, quint16 inst, quint16 type, quint32 length)
    {
        u16(quint16(ver | (inst << 4)));
        u16(type);
        u32(length);
    }
    static bool needsWide(const QString &s)
    {
        for (QChar c : s)
            if (c.unicode() > 0xFF)
                return true;
        return false;
    }
};

// Pixels of a column of the given width in characters.
inline int columnPixels(double width)
{
    if (width <= 0)
        return 0;
    return width < 1 ? int(width * 12 + 0.5) : int(width * 7 + 0.5) + 5;
}

} // namespace biff
