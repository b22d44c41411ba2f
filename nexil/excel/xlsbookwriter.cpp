#include "nexil/excel/xlsbookwriter.h"

#include "nexil/excel/compoundfile.h"
#include "nexil/excel/workbook.h"

#include <QHash>
#include <QVector>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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
};

const int kMaxRecordData = 8224;
const int kFirstCellXf = 16; // 15 style XFs and the default cell XF come first
const int kMaxXf = 4050;
const quint16 kAutoColor = 0x7FFF;

class Stream
{
public:
    QByteArray b;

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
    static bool needsWide(const QString &s)
    {
        for (QChar c : s)
            if (c.unicode() > 0xFF)
                return true;
        return false;
    }
};

int columnPixels(double width)
{
    if (width <= 0)
        return 0;
    return width < 1 ? int(width * 12 + 0.5) : int(width * 7 + 0.5) + 5;
}

class Writer
{
public:
    explicit Writer(const Workbook &book) : m_book(book) {}
    bool run(QByteArray *file, QString *error);

private:
    void globals(QVector<int> *sheetOffsetAt);
    void fonts();
    void formats();
    void xfs();
    void sst();
    void sheet(const Worksheet &s, bool first);
    quint16 xfOf(qint32 format) const { return quint16(format < 0 ? 15 : kFirstCellXf + format); }

    const Workbook &m_book;
    Stream m_s;
    QVector<int> m_fontOf;   // per format: FONT index
    QVector<int> m_numFmtOf; // per format: FORMAT index (0 = General)
    quint32 m_labelCells = 0;
};

void Writer::fonts()
{
    // Fonts 0-3 are the default font; the index after them is 5 (index 4 does
    // not exist in this format), so the n-th own font has index 5 + n.
    QVector<int> own; // format index of the first format with each font
    m_fontOf.resize(m_book.formatCount());
    auto font = [this](const CellFormat &f) {
        const int h = m_s.begin(FONT);
        m_s.u16(quint16(qBound(20, int(std::lround(f.fontSize * 20)), 8191)));
        m_s.u16(quint16((f.bold ? 0x01 : 0) | (f.italic ? 0x02 : 0)));
        m_s.u16(f.fontColor >= 8 && f.fontColor <= 63 ? quint16(f.fontColor) : kAutoColor);
        m_s.u16(f.bold ? 700 : 400);
        m_s.u16(0);
        m_s.u8(0);
        m_s.u8(0);
        m_s.u8(0);
        m_s.u8(0);
        m_s.shortString(f.fontName.left(31));
        m_s.end(h);
    };
    const CellFormat defaults;
    for (int i = 0; i < 4; ++i)
        font(defaults);
    for (int i = 0; i < m_book.formatCount(); ++i) {
        const CellFormat &f = m_book.format(i);
        int found = -1;
        for (int k = 0; k < own.size(); ++k)
            if (m_book.format(own[k]).sameFont(f)) {
                found = k;
                break;
            }
        if (found < 0) {
            found = own.size();
            own.append(i);
            font(f);
        }
        m_fontOf[i] = 5 + found;
    }
}

void Writer::formats()
{
    QHash<QString, int> ids;
    m_numFmtOf.resize(m_book.formatCount());
    for (int i = 0; i < m_book.formatCount(); ++i) {
        const QString &code = m_book.format(i).numberFormat;
        if (code.isEmpty()) {
            m_numFmtOf[i] = 0;
            continue;
        }
        auto it = ids.find(code);
        if (it == ids.end()) {
            it = ids.insert(code, 164 + ids.size());
            const int h = m_s.begin(FORMAT);
            m_s.u16(quint16(*it));
            m_s.longString(code.left(255));
            m_s.end(h);
        }
        m_numFmtOf[i] = *it;
    }
}

void Writer::xfs()
{
    auto record = [this](quint16 font, quint16 numFmt, quint16 type, quint8 align, quint8 used,
                         quint32 border, quint32 border2, quint16 fill) {
        const int h = m_s.begin(XF);
        m_s.u16(font);
        m_s.u16(numFmt);
        m_s.u16(type);
        m_s.u8(align);
        m_s.u8(0);
        m_s.u8(0);
        m_s.u8(used);
        m_s.u32(border);
        m_s.u32(border2);
        m_s.u16(fill);
        m_s.end(h);
    };
    const quint16 noFill = 64 | (65 << 7);
    for (int i = 0; i < 15; ++i)
        record(0, 0, 0xFFF5, 0x20, 0, 0, 0, noFill); // style XFs: locked, parent none
    record(0, 0, 0x0001, 0x20, 0, 0, 0, noFill);     // default cell XF
    for (int i = 0; i < m_book.formatCount(); ++i) {
        const CellFormat &f = m_book.format(i);
        const quint8 h = quint8(f.hAlign); // General 0, Left 1, Center 2, Right 3
        const quint8 v = f.vAlign == CellFormat::Top ? 0 : f.vAlign == CellFormat::VCenter ? 1 : 2;
        const quint8 align = quint8(h | (f.wrap ? 0x08 : 0) | (v << 4));
        quint32 border = 0, border2 = 0;
        if (f.border != CellFormat::NoBorder) {
            const quint32 style = f.border == CellFormat::Thin ? 1 : 2;
            const quint32 color = f.borderColor >= 8 && f.borderColor <= 63 ? quint32(f.borderColor) : 8;
            border = style | (style << 4) | (style << 8) | (style << 12) | (color << 16) | (color << 23);
            border2 = color | (color << 7);
        }
        quint16 fill = noFill;
        if (f.fillColor >= 8 && f.fillColor <= 63) {
            border2 |= quint32(1) << 26; // solid
            fill = quint16(f.fillColor | (65 << 7));
        }
        record(quint16(m_fontOf[i]), quint16(m_numFmtOf[i]), 0x0001, align, 0xFC, border, border2, fill);
    }
}

void Writer::sst()
{
    const int unique = m_book.stringCount();
    int header = m_s.begin(SST);
    m_s.u32(m_labelCells);
    m_s.u32(quint32(unique));

    // Every dsst-th string is indexed in EXTSST by its stream position.
    const int dsst = std::max(8, unique / 128 + 1);
    QVector<QPair<quint32, quint16>> buckets;

    auto room = [&]() { return kMaxRecordData - (m_s.pos() - header - 4); };
    auto next = [&]() {
        m_s.end(header);
        header = m_s.begin(CONTINUE);
    };
    for (int k = 0; k < unique; ++k) {
        const QString &s = m_book.string(k);
        const bool wide = Stream::needsWide(s);
        const int unit = wide ? 2 : 1;
        // The string header and its first character share one record.
        if (room() < 3 + (s.isEmpty() ? 0 : unit))
            next();
        if (k % dsst == 0)
            buckets.append({quint32(m_s.pos()), quint16(m_s.pos() - header)});
        m_s.u16(quint16(s.size()));
        m_s.u8(wide ? 1 : 0);
        int done = 0;
        for (;;) {
            const int n = std::min(int(s.size()) - done, room() / unit);
            m_s.utf16Chars(s, done, n, wide);
            done += n;
            if (done >= s.size())
                break;
            // The rest continues in a new record that repeats the flags.
            next();
            m_s.u8(wide ? 1 : 0);
        }
    }
    m_s.end(header);

    const int h = m_s.begin(EXTSST);
    m_s.u16(quint16(dsst));
    for (const auto &b : buckets) {
        m_s.u32(b.first);
        m_s.u16(b.second);
        m_s.u16(0);
    }
    m_s.end(h);
}

void Writer::globals(QVector<int> *sheetOffsetAt)
{
    int h = m_s.begin(BOF);
    m_s.u16(0x0600);
    m_s.u16(0x0005);
    m_s.u16(0x0DBB);
    m_s.u16(0x07CC);
    m_s.u32(0);
    m_s.u32(6);
    m_s.end(h);

    h = m_s.begin(CODEPAGE);
    m_s.u16(1200);
    m_s.end(h);

    h = m_s.begin(WINDOW1);
    for (quint16 v : {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 600})
        m_s.u16(v);
    m_s.end(h);

    h = m_s.begin(DATE1904);
    m_s.u16(0);
    m_s.end(h);

    fonts();
    formats();
    xfs();

    h = m_s.begin(STYLE);
    m_s.u16(0x8000);
    m_s.u8(0x00);
    m_s.u8(0xFF);
    m_s.end(h);

    for (int i = 0; i < m_book.sheetCount(); ++i) {
        h = m_s.begin(BOUNDSHEET);
        sheetOffsetAt->append(m_s.pos());
        m_s.u32(0); // patched once the sheet's position is known
        m_s.u8(0);
        m_s.u8(0);
        m_s.shortString(m_book.sheet(i)->name());
        m_s.end(h);
    }
    sst();
    h = m_s.begin(EOF_);
    m_s.end(h);
}

void Writer::sheet(const Worksheet &s, bool first)
{
    int h = m_s.begin(BOF);
    m_s.u16(0x0600);
    m_s.u16(0x0010);
    m_s.u16(0x0DBB);
    m_s.u16(0x07CC);
    m_s.u32(0);
    m_s.u32(6);
    m_s.end(h);

    h = m_s.begin(WSBOOL);
    m_s.u16(0x04C1);
    m_s.end(h);

    const Worksheet::Margins m = s.margins();
    const double margins[4] = {m.left, m.right, m.top, m.bottom};
    for (int i = 0; i < 4; ++i) {
        h = m_s.begin(quint16(LEFTMARGIN + i));
        m_s.f64(margins[i]);
        m_s.end(h);
    }

    // One COLINFO per run of neighbouring columns of the same width.
    const auto &widths = s.columnWidths();
    for (auto it = widths.begin(); it != widths.end() && it->first < 256;) {
        auto last = it;
        auto probe = std::next(it);
        while (probe != widths.end() && probe->first == last->first + 1 && probe->first < 256 &&
               probe->second == it->second) {
            last = probe;
            ++probe;
        }
        h = m_s.begin(COLINFO);
        m_s.u16(quint16(it->first));
        m_s.u16(quint16(last->first));
        m_s.u16(quint16(std::min(65535L, std::lround(columnPixels(it->second) * 256.0 / 7.0))));
        m_s.u16(15);
        m_s.u16(0x0002);
        m_s.u16(0);
        m_s.end(h);
        it = probe;
    }

    const std::vector<Worksheet::Cell> &cells = s.cells();
    h = m_s.begin(DIMENSIONS);
    if (cells.empty()) {
        m_s.u32(0);
        m_s.u32(0);
        m_s.u16(0);
        m_s.u16(0);
    } else {
        int minCol = 255, maxCol = 0;
        for (const auto &c : cells) {
            minCol = std::min(minCol, int(c.col));
            maxCol = std::max(maxCol, int(c.col));
        }
        m_s.u32(cells.front().row);
        m_s.u32(cells.back().row + 1);
        m_s.u16(quint16(minCol));
        m_s.u16(quint16(maxCol + 1));
    }
    m_s.u16(0);
    m_s.end(h);

    // Rows in blocks of 32: the block's ROW records, then its cells.
    size_t i = 0;
    while (i < cells.size()) {
        const quint32 block = cells[i].row / 32;
        size_t j = i;
        while (j < cells.size() && cells[j].row / 32 == block)
            ++j;
        for (size_t k = i; k < j;) {
            size_t e = k;
            while (e < j && cells[e].row == cells[k].row)
                ++e;
            h = m_s.begin(ROW);
            m_s.u16(quint16(cells[k].row));
            m_s.u16(cells[k].col);
            m_s.u16(quint16(cells[e - 1].col + 1));
            m_s.u16(0x00FF);
            m_s.u16(0);
            m_s.u16(0);
            m_s.u32(0x100);
            m_s.end(h);
            k = e;
        }
        for (size_t k = i; k < j; ++k) {
            const Worksheet::Cell &c = cells[k];
            switch (c.kind) {
            case Worksheet::Number:
                h = m_s.begin(NUMBER);
                break;
            case Worksheet::String:
                h = m_s.begin(LABELSST);
                break;
            case Worksheet::Blank:
                h = m_s.begin(BLANK);
                break;
            }
            m_s.u16(quint16(c.row));
            m_s.u16(c.col);
            m_s.u16(xfOf(c.format));
            if (c.kind == Worksheet::Number)
                m_s.f64(c.number);
            else if (c.kind == Worksheet::String)
                m_s.u32(c.string);
            m_s.end(h);
        }
        i = j;
    }

    h = m_s.begin(WINDOW2);
    m_s.u16(first ? 0x06B6 : 0x00B6);
    m_s.u16(0);
    m_s.u16(0);
    m_s.u32(64);
    m_s.u16(0);
    m_s.u16(0);
    m_s.u32(0);
    m_s.end(h);

    const QVector<Worksheet::Range> &merges = s.merges();
    for (int from = 0; from < merges.size(); from += 1026) {
        const int n = std::min(1026, int(merges.size()) - from);
        h = m_s.begin(MERGECELLS);
        m_s.u16(quint16(n));
        for (int k = from; k < from + n; ++k) {
            const Worksheet::Range &r = merges[k];
            m_s.u16(quint16(r.firstRow));
            m_s.u16(quint16(r.lastRow));
            m_s.u16(quint16(r.firstCol));
            m_s.u16(quint16(r.lastCol));
        }
        m_s.end(h);
    }
    h = m_s.begin(EOF_);
    m_s.end(h);
}

bool Writer::run(QByteArray *file, QString *error)
{
    if (kFirstCellXf + m_book.formatCount() > kMaxXf) {
        *error = QStringLiteral("the workbook has %1 cell formats; the .xls format holds %2")
                     .arg(m_book.formatCount())
                     .arg(kMaxXf - kFirstCellXf);
        return false;
    }
    for (int i = 0; i < m_book.sheetCount(); ++i)
        for (const auto &c : m_book.sheet(i)->cells())
            if (c.kind == Worksheet::String)
                ++m_labelCells;

    QVector<int> offsetAt;
    globals(&offsetAt);
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        m_s.patch32(offsetAt[i], quint32(m_s.pos()));
        sheet(*m_book.sheet(i), i == 0);
    }
    *file = CompoundFile::build(QStringLiteral("Workbook"), m_s.b);
    return true;
}

} // namespace

bool XlsBookWriter::write(const Workbook &book, QByteArray *file, QString *error)
{
    return Writer(book).run(file, error);
}
