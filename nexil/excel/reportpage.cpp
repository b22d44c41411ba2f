#include "nexil/excel/reportpage.h"

#include "nexil/excel/workbook.h"

#include <algorithm>

namespace report {

using namespace layout;

const char *const ErrorMark = "Err";

Style Style::create(Workbook *book, const QByteArray &logoPng)
{
    Style s;
    CellFormat base;
    base.border = CellFormat::Thin;
    base.vAlign = CellFormat::VCenter;

    CellFormat f = base;
    f.bold = true;
    f.hAlign = CellFormat::Left;
    f.fillColor = ExcelColor::PaleBlue;
    s.titleLabel = book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Left;
    s.titleValue = book->addFormat(f);

    f = base;
    f.bold = true;
    f.hAlign = CellFormat::Center;
    f.wrap = true;
    f.fillColor = ExcelColor::Grey25;
    s.header = book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Center;
    s.date = book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Right;
    f.numberFormat = QStringLiteral("0.0000");
    s.value = book->addFormat(f);
    f.fontColor = ExcelColor::Grey50;
    s.error = book->addFormat(f);

    f = base;
    f.bold = true;
    f.hAlign = CellFormat::Center;
    f.fillColor = ExcelColor::LightYellow;
    s.sumLabel = book->addFormat(f);

    f.bold = false;
    s.sumDate = book->addFormat(f);

    f.hAlign = CellFormat::Right;
    f.numberFormat = QStringLiteral("0.0000");
    s.sumValue = book->addFormat(f);
    f.fontColor = ExcelColor::Grey50;
    s.sumError = book->addFormat(f);

    s.logo = logoPng.isEmpty() ? -1 : book->addPicture(logoPng);
    return s;
}

void writeValue(Worksheet *sheet, int row, int col, const Value &value, int format, int errorFormat)
{
    if (isSensorError(value))
        sheet->writeString(row, col, QLatin1String(ErrorMark), errorFormat);
    else if (value.isNumber())
        sheet->writeNumber(row, col, value.number, format);
    else
        sheet->writeString(row, col, value.text, format);
}

void writeSummary(Worksheet *sheet, int firstRow, const QMap<int, Summary> &summary, const Style &style)
{
    for (auto it = summary.cbegin(); it != summary.cend(); ++it) {
        if (it->count == 0)
            continue;
        const int col = it.key() + FirstValueCol;
        sheet->writeNumber(firstRow + SumMax, col, it->max, style.sumValue);
        sheet->writeString(firstRow + SumMaxDate, col, it->maxLabel, style.sumDate);
        sheet->writeNumber(firstRow + SumMin, col, it->min, style.sumValue);
        sheet->writeString(firstRow + SumMinDate, col, it->minLabel, style.sumDate);
        sheet->writeNumber(firstRow + SumTot, col, it->total, style.sumValue);
    }
}

ReportPage::ReportPage(Workbook *book, const Style &style, const Header &header, Kind kind)
    : m_book(book), m_style(style), m_header(header), m_kind(kind),
      m_name(kind == Daily     ? QStringLiteral("Daily")
             : kind == Monthly ? QStringLiteral("Monthly")
                               : QStringLiteral("Annual")),
      m_lastColumn(LastFrameCol)
{
    for (const Channel &c : header.channels)
        m_lastColumn = qMax(m_lastColumn, c.id + FirstValueCol);
    m_sheet = createSheet(m_name, m_book->sheetCount());
    if (m_sheet)
        addBlock();
}

Worksheet *ReportPage::createSheet(const QString &name, int at)
{
    // Every sheet starts as "data"; the book makes names final only at save.
    Worksheet *sheet = m_book->insertSheet(at, QStringLiteral("data"));
    if (!sheet)
        return nullptr;
    sheet->setName(name);
    sheet->setColumnWidth(0, 0, 6.57);
    sheet->setColumnWidth(1, 2, 10.14);
    sheet->setColumnWidth(3, 12, 12.43);
    sheet->setColumnWidth(13, 13, 1.29);
    sheet->setMargins(0.4, 0.4, 0.5, 0.5);
    return sheet;
}

int ReportPage::addBlock()
{
    if ((m_blocks + 1) * BlockRows > m_book->maxRows()) {
        finishSheet();
        m_sheet = createSheet(m_book->uniqueSheetName(m_name), m_book->indexOf(m_sheet) + 1);
        m_blocks = 0;
    }
    Worksheet *s = m_sheet;
    const int r = m_blocks * BlockRows;
    ++m_blocks;

    if (m_style.logo >= 0)
        s->insertPicture(r + LogoRow, LogoCol, m_style.logo, 1.0);
    const QString labels[3] = {QStringLiteral("Station Name"), QStringLiteral("Station Code"),
                               QStringLiteral("Setup Timestamp")};
    const QString values[3] = {m_header.stationName, m_header.stationCode, m_header.setupTimestamp};
    for (int i = 0; i < 3; ++i) {
        s->mergeCells(r + 1 + i, 1, r + 1 + i, 2, m_style.titleLabel);
        s->writeString(r + 1 + i, 1, labels[i]);
        s->mergeCells(r + 1 + i, 3, r + 1 + i, 5, m_style.titleValue);
        s->writeString(r + 1 + i, 3, values[i]);
    }

    const int h = r + HeaderRow;
    for (int c = 1; c <= LastFormattedCol; ++c) {
        s->setCellFormat(h, c, m_style.header);
        s->setCellFormat(h + 1, c, m_style.header);
    }
    s->mergeCells(h, 1, h + 1, 1);
    s->writeString(h, 1, m_kind == Annual ? QStringLiteral("Month") : QStringLiteral("Date"));
    s->mergeCells(h, 2, h + 1, 2);
    if (m_kind == Daily)
        s->writeString(h, 2, QStringLiteral("Time"));
    for (const Channel &c : m_header.channels) {
        if (c.id < 0)
            continue;
        s->writeString(h, c.id + FirstValueCol, c.name);
        s->writeString(h + 1, c.id + FirstValueCol, c.unit);
    }

    const int lastData = m_kind == Daily     ? DailyLastDataRow
                         : m_kind == Monthly ? MonthlyLastDataRow
                                             : AnnualLastDataRow;
    for (int row = r + FirstDataRow; row <= r + lastData; ++row) {
        s->setCellFormat(row, 1, m_style.date);
        s->setCellFormat(row, 2, m_style.date);
        for (int c = FirstValueCol; c <= LastFormattedCol; ++c)
            s->setCellFormat(row, c, m_style.value);
    }

    auto summaryRow = [&](int row, const QString &label, bool dates) {
        s->mergeCells(row, 1, row, 2, m_style.sumLabel);
        s->writeString(row, 1, label);
        for (int c = FirstValueCol; c <= LastFormattedCol; ++c)
            s->setCellFormat(row, c, dates ? m_style.sumDate : m_style.sumValue);
    };
    if (m_kind == Daily) {
        summaryRow(r + DailyMinTime, QStringLiteral("Time"), true);
        summaryRow(r + DailyMin, QStringLiteral("MIN"), false);
        summaryRow(r + DailyMaxTime, QStringLiteral("Time"), true);
        summaryRow(r + DailyMax, QStringLiteral("MAX"), false);
        summaryRow(r + DailyAvg, QStringLiteral("AVG"), false);
        summaryRow(r + DailyTot, QStringLiteral("TOT"), false);
    } else {
        const int sr = r + (m_kind == Monthly ? MonthlySummaryRow : AnnualSummaryRow);
        summaryRow(sr + SumMax, QStringLiteral("MAX"), false);
        summaryRow(sr + SumMaxDate, QStringLiteral("Date"), true);
        summaryRow(sr + SumMin, QStringLiteral("MIN"), false);
        summaryRow(sr + SumMinDate, QStringLiteral("Date"), true);
        summaryRow(sr + SumTot, QStringLiteral("TOT"), false);
    }
    return r;
}

void ReportPage::finishSheet()
{
    m_sheet->setLandscape(true);
    m_sheet->setPaperSize(9);
    m_sheet->setPrintArea(0, 0, m_blocks * BlockRows - 1, m_lastColumn);
    if (m_blocks - 1 > MaxPageBreaks) {
        // Too many blocks to start each on a page: all columns on one page
        // across, and the first block's channel headers atop every page.
        m_sheet->fitToPages(1, 0);
        m_sheet->setRepeatRows(HeaderRow, HeaderRow + 1);
        return;
    }
    // One block per page, with its own title and headers: the scale that
    // fits every column across and a whole block down an A4 page.
    const Worksheet::Margins margins = m_sheet->margins();
    const double across = (11.69 - margins.left - margins.right) * 72;
    const double down = (8.27 - margins.top - margins.bottom) * 72;
    // Widths count in characters of the format's default font; the readers
    // of .xls files draw them wider than Excel's 7 pixels.
    const bool xls = m_book->type() == Workbook::Xls;
    const double pixelsPerChar = xls ? 9 : 7;
    double width = 0;
    for (int c = 0; c <= m_lastColumn; ++c) {
        const auto it = m_sheet->columnWidths().find(c);
        const double chars = it == m_sheet->columnWidths().end() ? 8.43 : it->second;
        width += (int(chars * pixelsPerChar + 0.5) + 5) * 0.75; // pixels to points
    }
    // Rows keep the height of the format's default font.
    const double height = BlockRows * (xls ? 12.75 : 15.0);
    // A little room for the rounding of row heights by the printing program.
    m_sheet->setPrintScale(int(std::min(across / width, down / height) * 97));
    QVector<int> breaks;
    for (int b = 1; b < m_blocks; ++b)
        breaks.append(b * BlockRows);
    m_sheet->setRowBreaks(breaks);
}

void ReportPage::finish()
{
    if (m_sheet)
        finishSheet();
}

} // namespace report
