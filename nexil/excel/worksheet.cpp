#include "nexil/excel/worksheet.h"

#include "nexil/excel/workbook.h"

#include <algorithm>

namespace {
quint64 key(const Worksheet::Cell &c)
{
    return (quint64(c.row) << 16) | c.col;
}
} // namespace

Worksheet::Worksheet(Workbook *book, const QString &name) : m_book(book), m_name(name) {}

bool Worksheet::place(int row, int col, Cell cell)
{
    if (row < 0 || col < 0 || row >= Workbook::GridRows || col >= Workbook::GridColumns || cell.format < -1 ||
        cell.format >= m_book->formatCount()) {
        ++m_rejected;
        return false;
    }
    cell.row = quint32(row);
    cell.col = quint16(col);
    if (!m_cells.empty() && key(m_cells.back()) >= key(cell))
        m_sorted = false;
    m_cells.push_back(cell);
    return true;
}

bool Worksheet::writeNumber(int row, int col, double value, int format)
{
    Cell c{};
    c.kind = Number;
    c.keepFormat = format < 0;
    c.format = format;
    c.number = value;
    return place(row, col, c);
}

bool Worksheet::writeString(int row, int col, const QString &text, int format)
{
    if (text.size() > Workbook::MaxTextLength) {
        ++m_rejected;
        return false;
    }
    Cell c{};
    c.kind = String;
    c.keepFormat = format < 0;
    c.format = format;
    c.string = quint32(m_book->internString(text));
    return place(row, col, c);
}

bool Worksheet::setCellFormat(int row, int col, int format)
{
    Cell c{};
    c.kind = Blank;
    c.keepFormat = false;
    c.format = format;
    return place(row, col, c);
}

bool Worksheet::mergeCells(int firstRow, int firstCol, int lastRow, int lastCol, int format)
{
    if (firstRow < 0 || firstCol < 0 || lastRow < firstRow || lastCol < firstCol ||
        lastRow >= Workbook::GridRows || lastCol >= Workbook::GridColumns ||
        (firstRow == lastRow && firstCol == lastCol))
        return false;
    for (int r = firstRow; r <= lastRow; ++r) {
        const auto it = m_mergesByRow.constFind(r);
        if (it == m_mergesByRow.constEnd())
            continue;
        for (int i : *it) {
            const Range &m = m_merges.at(i);
            if (m.firstCol <= lastCol && firstCol <= m.lastCol)
                return false;
        }
    }
    const int index = m_merges.size();
    m_merges.append({firstRow, firstCol, lastRow, lastCol});
    for (int r = firstRow; r <= lastRow; ++r)
        m_mergesByRow[r].append(index);
    if (format >= 0) {
        for (int r = firstRow; r <= lastRow; ++r)
            for (int c = firstCol; c <= lastCol; ++c)
                setCellFormat(r, c, format);
    }
    return true;
}

void Worksheet::setColumnWidth(int firstCol, int lastCol, double width)
{
    for (int c = std::max(firstCol, 0); c <= lastCol && c < Workbook::GridColumns; ++c)
        m_widths[c] = width;
}

void Worksheet::setMargins(double left, double right, double top, double bottom)
{
    m_margins = {left, right, top, bottom};
}

bool Worksheet::insertPicture(int row, int col, int pictureId, double scale)
{
    if (row < 0 || col < 0 || row >= Workbook::GridRows || col >= Workbook::GridColumns || pictureId < 0 ||
        pictureId >= m_book->pictureCount() || !(scale > 0))
        return false;
    m_pictures.append({row, col, pictureId, scale});
    return true;
}

void Worksheet::fitToPages(int wide, int tall)
{
    m_page.fit = true;
    m_page.fitWidth = qBound(0, wide, 32767);
    m_page.fitHeight = qBound(0, tall, 32767);
}

void Worksheet::setPrintScale(int percent)
{
    m_page.fit = false;
    m_page.scale = qBound(10, percent, 400);
}

void Worksheet::setRowBreaks(const QVector<int> &rows)
{
    m_page.rowBreaks.clear();
    for (int r : rows)
        if (r > 0 && r < Workbook::GridRows)
            m_page.rowBreaks.append(r);
    std::sort(m_page.rowBreaks.begin(), m_page.rowBreaks.end());
    m_page.rowBreaks.erase(std::unique(m_page.rowBreaks.begin(), m_page.rowBreaks.end()),
                           m_page.rowBreaks.end());
}

bool Worksheet::setPrintArea(int firstRow, int firstCol, int lastRow, int lastCol)
{
    if (firstRow < 0 || firstCol < 0 || lastRow < firstRow || lastCol < firstCol ||
        lastRow >= Workbook::GridRows || lastCol >= Workbook::GridColumns)
        return false;
    m_page.printArea = {firstRow, firstCol, lastRow, lastCol};
    return true;
}

bool Worksheet::setRepeatRows(int firstRow, int lastRow)
{
    if (firstRow < 0 || lastRow < firstRow || lastRow >= Workbook::GridRows)
        return false;
    m_page.repeatFirstRow = firstRow;
    m_page.repeatLastRow = lastRow;
    return true;
}

void Worksheet::finish()
{
    if (!m_sorted) {
        std::stable_sort(m_cells.begin(), m_cells.end(),
                         [](const Cell &a, const Cell &b) { return key(a) < key(b); });
        m_sorted = true;
    }
    // Later writes to a cell win; a write without a format keeps the earlier
    // one, and a format alone keeps the earlier value.
    size_t out = 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        const Cell &c = m_cells[i];
        if (out > 0 && key(m_cells[out - 1]) == key(c)) {
            Cell &prev = m_cells[out - 1];
            if (c.kind == Blank) {
                prev.format = c.format;
            } else {
                const qint32 format = c.keepFormat ? prev.format : c.format;
                prev = c;
                prev.format = format;
            }
            prev.keepFormat = false;
            continue;
        }
        m_cells[out] = c;
        m_cells[out].keepFormat = false;
        ++out;
    }
    m_cells.resize(out);
}

int Worksheet::lastRow() const
{
    int last = -1;
    for (const Cell &c : m_cells)
        last = std::max(last, int(c.row));
    for (const Range &m : m_merges)
        last = std::max(last, m.lastRow);
    return last;
}

int Worksheet::lastColumn() const
{
    int last = -1;
    for (const Cell &c : m_cells)
        last = std::max(last, int(c.col));
    for (const Range &m : m_merges)
        last = std::max(last, m.lastCol);
    return last;
}
