#include "nexil/excel/annualsheetwriter.h"

#include "nexil/excel/worksheet.h"

namespace report {

using namespace layout;

void AnnualSheetWriter::write(ReportPage *page, const DailySummaries &days)
{
    QMap<int, QVector<const DailySummaries::Month *>> years;
    for (auto it = days.months().cbegin(); it != days.months().cend(); ++it)
        years[it.key().year()].append(&it.value());
    bool first = true;
    for (auto y = years.cbegin(); y != years.cend(); ++y) {
        const int r = first ? page->blockRow() : page->addBlock();
        first = false;
        Worksheet *s = page->sheet();
        for (int m = 1; m <= 12; ++m)
            s->writeString(r + FirstDataRow + m - 1, 1,
                           QStringLiteral("%1-%2").arg(y.key()).arg(m, 2, 10, QLatin1Char('0')));
        for (const DailySummaries::Month *month : *y) {
            const int row = r + FirstDataRow + month->firstKey().month() - 1;
            const QMap<int, double> means = DailySummaries::monthMeans(*month);
            for (auto c = means.cbegin(); c != means.cend(); ++c)
                s->writeNumber(row, c.key() + FirstValueCol, *c);
        }
        writeSummary(s, r + AnnualSummaryRow, DailySummaries::yearSummary(*y), page->style());
    }
}

} // namespace report
