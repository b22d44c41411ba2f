#pragma once

#include "nexil/excel/reportpage.h"

namespace report {

// The daily sheet, written line by line as the data file is read: one row
// per time of the instant values, the day's MIN, MAX, AVG and TOT under its
// block.
class DailySheetWriter
{
public:
    explicit DailySheetWriter(ReportPage *page);
    void add(const Line &line);

private:
    ReportPage *m_page;
    DailyRows m_rows;
    int m_block = 0; // first row of the current block
    int m_row = -1;
};

} // namespace report
