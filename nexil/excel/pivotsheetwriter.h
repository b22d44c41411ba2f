#pragma once

#include "nexil/excel/reportpage.h"

#include <QHash>
#include <QStringList>

namespace report {

// The pivot sheets: one per channel, its instant values with the dates down
// the first column and the times across the first row. The values are kept
// as they are read, since the dates and times are sorted before writing.
class PivotSheetWriter
{
public:
    void add(const Line &line);
    // False when the sheet could not be added.
    bool write(Workbook *book, const Style &style, int channel, const QString &name) const;

private:
    struct Entry
    {
        int date, time; // indices into m_texts
        Value value;
    };
    int intern(const QString &text);

    QHash<int, QVector<Entry>> m_byChannel;
    QStringList m_texts;
    QHash<QString, int> m_index;
};

} // namespace report
