#include "nexil/excel/monthlysheetwriter.h"

#include "nexil/excel/worksheet.h"

namespace report {

using namespace layout;

void MonthlySheetWriter::write(ReportPage *page, const DailySummaries &days)
{
    // The page's first block takes the first month.
    bool first = true;
    for (const DailySummaries::Month &month : days.months()) {
        const int r = first ? page->blockRow() : page->addBlock();
        first = false;
        Worksheet *s = page->sheet();
        int row = r + FirstDataRow;
        for (const DailySummaries::Day &day : month) {
            // At most 31 days: the rows end before the summary.
            s->writeString(row, 1, day.date.toString(Qt::ISODate));
            for (auto it = day.averages.cbegin(); it != day.averages.cend(); ++it)
                writeValue(s, row, it.key() + FirstValueCol, *it, -1, page->style().error);
            ++row;
        }
        writeSummary(s, r + MonthlySummaryRow, DailySummaries::monthSummary(month), page->style());
    }
}

} // namespace report
