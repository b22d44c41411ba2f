#include "nexil/excel/dailysheetwriter.h"

#include "nexil/excel/worksheet.h"

namespace report {

using namespace layout;

DailySheetWriter::DailySheetWriter(ReportPage *page)
    : m_page(page), m_rows(DailyLastDataRow - FirstDataRow + 1), m_block(page->blockRow())
{
}

void DailySheetWriter::add(const Line &line)
{
    const Style &st = m_page->style();
    const int col = line.channel + FirstValueCol;
    switch (line.type) {
    case LineType::Ins: {
        const DailyRows::Place place = m_rows.place(line.date, line.time);
        if (place.newBlock)
            m_block = m_page->addBlock();
        m_row = m_block + FirstDataRow + place.row;
        Worksheet *s = m_page->sheet();
        if (place.newRow) {
            s->writeString(m_row, 1, line.date);
            s->writeString(m_row, 2, line.time);
        }
        writeValue(s, m_row, col, line.value, -1, st.error);
        break;
    }
    case LineType::Min:
        m_page->sheet()->writeString(m_block + DailyMinTime, col, line.time);
        writeValue(m_page->sheet(), m_block + DailyMin, col, line.value, -1, st.sumError);
        break;
    case LineType::Max:
        m_page->sheet()->writeString(m_block + DailyMaxTime, col, line.time);
        writeValue(m_page->sheet(), m_block + DailyMax, col, line.value, -1, st.sumError);
        break;
    case LineType::Avg:
        writeValue(m_page->sheet(), m_block + DailyAvg, col, line.value, -1, st.sumError);
        break;
    case LineType::Tot:
        writeValue(m_page->sheet(), m_block + DailyTot, col, line.value, -1, st.sumError);
        break;
    case LineType::Other:
        break;
    }
}

} // namespace report
