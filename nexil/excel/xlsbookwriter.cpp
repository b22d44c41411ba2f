#include "nexil/excel/xlsbookwriter.h"

#include "nexil/excel/biffstream.h"
#include "nexil/excel/compoundfile.h"
#include "nexil/excel/workbook.h"
#include "nexil/excel/xlsdrawing.h"

#include <QHash>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace {

using namespace biff;

const int kBuiltinPrintArea = 0x06;
const int kBuiltinPrintTitles = 0x07;
const quint16 kFitToPage = 0x0100; // in WSBOOL
const int kMaxPageBreaks = 1023;
const int kFirstCellXf = 16; // 15 style XFs and the default cell XF come first
const int kMaxXf = 4050;
const quint16 kAutoColor = 0x7FFF;

class Writer
{
public:
    explicit Writer(const Workbook &book) : m_book(book), m_drawing(book) {}
    bool run(QByteArray *file, QString *error);

private:
    void globals(QVector<int> *sheetOffsetAt);
    void fonts();
    void formats();
    void xfs();
    void sst();
    void sheet(const Worksheet &s, int index);
    void names();
    void pageSetup(const Worksheet &s);
    quint16 xfOf(qint32 format) const { return quint16(format < 0 ? 15 : kFirstCellXf + format); }

    const Workbook &m_book;
    Stream m_s;
    XlsDrawing m_drawing;
    QVector<int> m_fontOf;   // per format: FONT index
    QVector<int> m_numFmtOf; // per format: FORMAT index (0 = General)
    quint32 m_labelCells = 0;
};

void Writer::names()
{
    struct Name
    {
        int sheet, builtin;
        Worksheet::Range area;
    };
    QVector<Name> list;
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        const Worksheet::PageSetup &p = m_book.sheet(i)->pageSetup();
        if (p.printArea.firstRow >= 0)
            list.append({i, kBuiltinPrintArea, p.printArea});
        if (p.repeatFirstRow >= 0)
            list.append({i, kBuiltinPrintTitles, {p.repeatFirstRow, 0, p.repeatLastRow, 255}});
    }
    if (list.isEmpty())
        return;
    // The names refer to the book's own sheets, one reference per sheet.
    int h = m_s.begin(SUPBOOK);
    m_s.u16(quint16(m_book.sheetCount()));
    m_s.u16(0x0401);
    m_s.end(h);
    h = m_s.begin(EXTERNSHEET);
    m_s.u16(quint16(m_book.sheetCount()));
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        m_s.u16(0);
        m_s.u16(quint16(i));
        m_s.u16(quint16(i));
    }
    m_s.end(h);
    for (const Name &n : list) {
        h = m_s.begin(NAME);
        m_s.u16(0x0020); // built-in
        m_s.u8(0);
        m_s.u8(1);   // a built-in name is one code
        m_s.u16(11); // the formula: one 3-D area
        m_s.u16(0);
        m_s.u16(quint16(n.sheet + 1));
        m_s.u32(0);
        m_s.u8(0);
        m_s.u8(quint8(n.builtin));
        m_s.u8(0x3B); // 3-D area, absolute
        m_s.u16(quint16(n.sheet));
        m_s.u16(quint16(std::min(n.area.firstRow, 65535)));
        m_s.u16(quint16(std::min(n.area.lastRow, 65535)));
        m_s.u16(quint16(std::min(n.area.firstCol, 255)));
        m_s.u16(quint16(std::min(n.area.lastCol, 255)));
        m_s.end(h);
    }
}

void Writer::pageSetup(const Worksheet &s)
{
    const Worksheet::PageSetup &p = s.pageSetup();
    const int h = m_s.begin(SETUP);
    m_s.u16(quint16(p.paperSize));
    m_s.u16(quint16(p.fit ? 100 : p.scale));
    m_s.u16(1);
    m_s.u16(quint16(p.fit ? p.fitWidth : 1));
    m_s.u16(quint16(p.fit ? p.fitHeight : 1));
    m_s.u16(p.landscape ? 0x0000 : 0x0002);
    m_s.u16(600);
    m_s.u16(600);
    m_s.f64(0.3);
    m_s.f64(0.3);
    m_s.u16(1);
    m_s.end(h);
}

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

    auto room = [&]() { return MaxRecordData - (m_s.pos() - header - 4); };
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
    names();
    m_drawing.writeGroup(m_s);
    sst();
    h = m_s.begin(EOF_);
    m_s.end(h);
}

void Writer::sheet(const Worksheet &s, int index)
{
    const bool first = index == 0;
    int h = m_s.begin(BOF);
    m_s.u16(0x0600);
    m_s.u16(0x0010);
    m_s.u16(0x0DBB);
    m_s.u16(0x07CC);
    m_s.u32(0);
    m_s.u32(6);
    m_s.end(h);

    h = m_s.begin(WSBOOL);
    m_s.u16(quint16(0x04C1 | (s.pageSetup().fit ? kFitToPage : 0)));
    m_s.end(h);

    QVector<int> breaks;
    for (int r : s.pageSetup().rowBreaks)
        if (r < 65536 && breaks.size() < kMaxPageBreaks)
            breaks.append(r);
    if (!breaks.isEmpty()) {
        h = m_s.begin(HORIZONTALPAGEBREAKS);
        m_s.u16(quint16(breaks.size()));
        for (int r : breaks) {
            m_s.u16(quint16(r));
            m_s.u16(0);
            m_s.u16(255);
        }
        m_s.end(h);
    }

    const Worksheet::Margins m = s.margins();
    const double margins[4] = {m.left, m.right, m.top, m.bottom};
    for (int i = 0; i < 4; ++i) {
        h = m_s.begin(quint16(LEFTMARGIN + i));
        m_s.f64(margins[i]);
        m_s.end(h);
    }
    pageSetup(s);

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

    m_drawing.writeSheet(m_s, index);

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
        sheet(*m_book.sheet(i), i);
    }
    *file = CompoundFile::build(QStringLiteral("Workbook"), m_s.b);
    return true;
}

} // namespace

bool XlsBookWriter::write(const Workbook &book, QByteArray *file, QString *error)
{
    return Writer(book).run(file, error);
}
