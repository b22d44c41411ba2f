#include "nexil/excel/pivotsheetwriter.h"

#include "nexil/excel/workbook.h"

#include <QSet>
#include <algorithm>

namespace report {

namespace {
// Beyond this many times a page fitted across would print too small to read;
// such a sheet prints over several pages across instead.
const int kMaxColumnsFitted = 24;
} // namespace

int PivotSheetWriter::intern(const QString &text)
{
    const auto it = m_index.constFind(text);
    if (it != m_index.constEnd())
        return *it;
    m_texts.append(text);
    m_index.insert(text, m_texts.size() - 1);
    return m_texts.size() - 1;
}

void PivotSheetWriter::add(const Line &line)
{
    if (line.type != LineType::Ins)
        return;
    m_byChannel[line.channel].append({intern(line.date), intern(line.time), line.value});
}

bool PivotSheetWriter::write(Workbook *book, const Style &style, int channel, const QString &name) const
{
    Worksheet *s = book->addSheet(QStringLiteral("data"));
    if (!s)
        return false;
    s->setName(book->uniqueSheetName(name, QStringLiteral("_Pivot")));
    s->setMargins(0.4, 0.4, 0.5, 0.5);

    const QVector<Entry> entries = m_byChannel.value(channel);
    // Row and column of each distinct date and time, in sorted order.
    auto positions = [&](bool dates) {
        QVector<int> ids;
        QSet<int> seen;
        for (const Entry &e : entries) {
            const int id = dates ? e.date : e.time;
            if (!seen.contains(id)) {
                seen.insert(id);
                ids.append(id);
            }
        }
        std::sort(ids.begin(), ids.end(), [this](int a, int b) { return lessThan(m_texts[a], m_texts[b]); });
        QHash<int, int> at;
        for (int i = 0; i < ids.size(); ++i)
            at.insert(ids[i], i + 1);
        return qMakePair(ids, at);
    };
    const auto rows = positions(true);
    const auto cols = positions(false);

    s->writeString(0, 0, QStringLiteral("Date"), style.header);
    for (int i = 0; i < rows.first.size(); ++i)
        s->writeString(i + 1, 0, m_texts[rows.first[i]], style.header);
    for (int i = 0; i < cols.first.size(); ++i)
        s->writeString(0, i + 1, m_texts[cols.first[i]], style.header);
    // Wide enough for the longest value, so that none shows as "###".
    int widest = 5;
    for (const Entry &e : entries) {
        writeValue(s, rows.second.value(e.date), cols.second.value(e.time), e.value, style.value,
                   style.error);
        widest = std::max(widest, e.value.isNumber() && !isSensorError(e.value) ? shownWidth(e.value.number)
                                                                                : int(e.value.text.size()));
    }
    s->setColumnWidth(0, 0, 10.14);
    if (!cols.first.isEmpty())
        s->setColumnWidth(1, cols.first.size(), std::min(widest, 60) + 2.0);

    s->setLandscape(true);
    s->setPaperSize(9);
    if (cols.first.size() <= kMaxColumnsFitted)
        s->fitToPages(1, 0);
    s->setPrintArea(0, 0, rows.first.size(), std::max(1, int(cols.first.size())));
    s->setRepeatRows(0, 0);
    return true;
}

} // namespace report
