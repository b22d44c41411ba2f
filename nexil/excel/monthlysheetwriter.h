#pragma once

#include "nexil/excel/reportpage.h"

namespace report {

// The monthly sheet: one block per month, in calendar order, with a row per
// day holding the device's daily averages and the month's summary under it.
class MonthlySheetWriter
{
public:
    static void write(ReportPage *page, const DailySummaries &days);
};

} // namespace report
