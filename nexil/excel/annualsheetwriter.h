#pragma once

#include "nexil/excel/reportpage.h"

namespace report {

// The annual sheet: one block per year, a row per month with the mean of its
// daily averages, and the year's summary under it.
class AnnualSheetWriter
{
public:
    static void write(ReportPage *page, const DailySummaries &days);
};

} // namespace report
