#pragma once

#include "nexil/excel/datalinereader.h"

#include <QByteArray>

class Workbook;
class Worksheet;

namespace report {

// Rows and columns of a report block, counted from the block's first row.
namespace layout {
const int BlockRows = 50;
const int LogoRow = 1, LogoCol = 10;
const int HeaderRow = 7, FirstDataRow = 9;
const int DailyLastDataRow = 42, MonthlyLastDataRow = 39, AnnualLastDataRow = 20;
const int DailyMinTime = 44, DailyMin = 45, DailyMaxTime = 46, DailyMax = 47, DailyAvg = 48, DailyTot = 49;
const int MonthlySummaryRow = 41, AnnualSummaryRow = 22;
// MAX, its date, MIN, its date and TOT, from the summary's first row.
const int SumMax = 0, SumMaxDate = 1, SumMin = 3, SumMinDate = 4, SumTot = 6;
const int FirstValueCol = 3, LastFormattedCol = 12, LastFrameCol = 13;
// Page breaks a sheet may have in either format.
const int MaxPageBreaks = 1023;
} // namespace layout

// The book's cell formats and logo, shared by every sheet.
struct NEXIL_EXPORT Style
{
    int titleLabel = -1, titleValue = -1, header = -1, date = -1, value = -1, error = -1;
    int sumLabel = -1, sumDate = -1, sumValue = -1, sumError = -1;
    int logo = -1;
    static Style create(Workbook *book, const QByteArray &logoPng);
};

// The text that stands for a sensor error: a text cell, so that formulas over
// a column leave it out.
extern const char *const ErrorMark;

// A value cell: the number, the text that is not a number, or the mark of a
// sensor error. A format of -1 keeps the one the block gave the cell.
void writeValue(Worksheet *sheet, int row, int col, const Value &value, int format, int errorFormat);

// A period's MAX, its date, MIN, its date and TOT from the summary's first
// row. A channel without values in the period gets none.
void writeSummary(Worksheet *sheet, int firstRow, const QMap<int, Summary> &summary, const Style &style);

// A daily, monthly or annual report sheet: a run of 50-row blocks, each with
// the logo, the station's title rows, the channel headers and formatted rows.
class NEXIL_EXPORT ReportPage
{
public:
    enum Kind { Daily, Monthly, Annual };

    ReportPage(Workbook *book, const Style &style, const Header &header, Kind kind);
    bool isValid() const { return m_sheet != nullptr; }
    Worksheet *sheet() const { return m_sheet; }
    const Style &style() const { return m_style; }
    // First row of the newest block.
    int blockRow() const { return (m_blocks - 1) * layout::BlockRows; }
    // Starts a block and returns its first row. A sheet that would outgrow
    // the format goes on in "Daily (2)" and so on, right after it.
    int addBlock();
    // Print setup of every sheet the page used.
    void finish();

private:
    Worksheet *createSheet(const QString &name, int at);
    void finishSheet();

    Workbook *m_book;
    const Style &m_style;
    const Header &m_header;
    Kind m_kind;
    QString m_name;
    Worksheet *m_sheet = nullptr;
    int m_blocks = 0;
    int m_lastColumn;
};

} // namespace report
