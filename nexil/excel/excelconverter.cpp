#include "nexil/excel/excelconverter.h"

#include "nexil/excel/workbook.h"

#include <QCoreApplication>
#include <QDate>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QTime>
#include <QXmlStreamReader>
#include <algorithm>
#include "nexil/logging.h"

static void initExcelResources()
{
    Q_INIT_RESOURCE(excel);
}

namespace {
const int kBlockRows = 50;
// Rows inside a block, counted from its first row.
const int kLogoRow = 1, kLogoCol = 10;
const int kHeaderRow = 7, kFirstDataRow = 9;
const int kDailyLastDataRow = 42, kMonthlyLastDataRow = 39;
const int kDailyMinTime = 44, kDailyMin = 45, kDailyMaxTime = 46, kDailyMax = 47, kDailyAvg = 48,
          kDailyTot = 49;
// MAX, its date, MIN, its date and TOT, relative to the summary's first row.
const int kSumMax = 0, kSumMaxDate = 1, kSumMin = 3, kSumMinDate = 4, kSumTot = 6;
const int kMonthlySummaryRow = 41;
const int kAnnualSummaryRow = 22;
const int kFirstValueCol = 3, kLastFormattedCol = 12;
const int kMaxPivotSheets = 1000;
} // namespace

void ExcelConverter::Stat::add(double v, const QString &date)
{
    if (count == 0 || v > max) {
        max = v;
        maxDate = date;
    }
    if (count == 0 || v < min) {
        min = v;
        minDate = date;
    }
    sum += v;
    ++count;
}

ExcelConverter::ExcelConverter(QObject *parent) : QObject(parent)
{
    initExcelResources();
}

ExcelConverter::~ExcelConverter() = default;

void ExcelConverter::step(const QString &text)
{
    emit message(text);
    // Only a GUI thread needs to stay responsive; on a collection worker's
    // thread, running its events here would start its next visit from inside
    // this save.
    const QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
}

void ExcelConverter::fail(const QString &text)
{
    m_lastError = text;
    emit error(text);
}

int ExcelConverter::text(const QString &s)
{
    const auto it = m_textIndex.constFind(s);
    if (it != m_textIndex.constEnd())
        return *it;
    m_texts.append(s);
    m_textIndex.insert(s, m_texts.size() - 1);
    return m_texts.size() - 1;
}

void ExcelConverter::addLine(const QString &channel, const QString &type, const QString &date,
                             const QString &time, const QString &value)
{
    bool ok = false;
    const int ch = channel.toInt(&ok);
    if (!ok || ch < 0 || ch > Workbook::GridColumns) {
        qCDebug(lcExcel, "ExcelConverter: line with channel \"%s\" skipped", qPrintable(channel));
        return;
    }
    Line l;
    l.channel = ch;
    if (type == QLatin1String("INS"))
        l.type = Ins;
    else if (type == QLatin1String("MAX"))
        l.type = Max;
    else if (type == QLatin1String("MIN"))
        l.type = Min;
    else if (type == QLatin1String("AVG"))
        l.type = Avg;
    else if (type == QLatin1String("TOT"))
        l.type = Tot;
    else
        l.type = Other;
    l.date = text(date);
    l.time = text(time);
    l.value = value.toDouble(&ok);
    // A value that is not a number is still shown, as text.
    l.valueText = ok ? -1 : text(value);
    m_lines.append(l);
}

QString ExcelConverter::getValueFromXml(const QDomElement &parent, const QString &tag)
{
    return getTextFromXmlItem(parent.firstChildElement(tag));
}

QString ExcelConverter::getTextFromXmlItem(const QDomElement &item)
{
    return item.isNull() ? QString() : item.text();
}

QString ExcelConverter::getAttributeValueFromXmlItem(const QDomElement &item, const QString &name)
{
    return item.attribute(name);
}

void ExcelConverter::readDocument(const QDomDocument &document)
{
    const QDomElement root = document.documentElement();
    const QDomElement header = root.firstChildElement(QStringLiteral("header"));
    const QDomElement station = header.firstChildElement(QStringLiteral("station"));
    const QDomElement setup = header.firstChildElement(QStringLiteral("setup"));
    const QDomElement data = root.firstChildElement(QStringLiteral("data"));
    m_stationName = getValueFromXml(station, QStringLiteral("name"));
    m_stationCode = getValueFromXml(station, QStringLiteral("code"));
    m_setupTimestamp = getValueFromXml(setup, QStringLiteral("timestamp"));
    bool ok = false;
    m_channelCount = getValueFromXml(setup, QStringLiteral("channel_count")).trimmed().toInt(&ok);
    const QDomElement channels = setup.firstChildElement(QStringLiteral("channels"));
    for (QDomElement c = channels.firstChildElement(QStringLiteral("channel")); !c.isNull();
         c = c.nextSiblingElement(QStringLiteral("channel"))) {
        m_channels.append({getAttributeValueFromXmlItem(c, QStringLiteral("id")).toInt(),
                           getValueFromXml(c, QStringLiteral("name")),
                           getValueFromXml(c, QStringLiteral("unit"))});
    }
    if (!ok)
        m_channelCount = m_channels.size();
    for (QDomElement l = data.firstChildElement(QStringLiteral("line")); !l.isNull();
         l = l.nextSiblingElement(QStringLiteral("line"))) {
        addLine(l.attribute(QStringLiteral("channel")), l.attribute(QStringLiteral("dataType")),
                l.attribute(QStringLiteral("date")), l.attribute(QStringLiteral("time")),
                l.attribute(QStringLiteral("value")));
    }
}

// The same walk as readDocument() over a stream, so that a large data file
// never has to be held as a document tree.
bool ExcelConverter::readStream(QXmlStreamReader &xml)
{
    auto firstOf = [&xml](QSet<QString> &seen) {
        const QString name = xml.name().toString();
        if (seen.contains(name))
            return QString();
        seen.insert(name);
        return name;
    };
    auto leafText = [&xml]() { return xml.readElementText(QXmlStreamReader::IncludeChildElements); };
    QString channelCount;
    if (!xml.readNextStartElement())
        return !xml.hasError();
    QSet<QString> atRoot;
    while (xml.readNextStartElement()) {
        const QString name = firstOf(atRoot);
        if (name == QLatin1String("header")) {
            QSet<QString> inHeader;
            while (xml.readNextStartElement()) {
                const QString h = firstOf(inHeader);
                if (h == QLatin1String("station")) {
                    QSet<QString> inStation;
                    while (xml.readNextStartElement()) {
                        const QString s = firstOf(inStation);
                        if (s == QLatin1String("name"))
                            m_stationName = leafText();
                        else if (s == QLatin1String("code"))
                            m_stationCode = leafText();
                        else
                            xml.skipCurrentElement();
                    }
                } else if (h == QLatin1String("setup")) {
                    QSet<QString> inSetup;
                    while (xml.readNextStartElement()) {
                        const QString s = firstOf(inSetup);
                        if (s == QLatin1String("timestamp")) {
                            m_setupTimestamp = leafText();
                        } else if (s == QLatin1String("channel_count")) {
                            channelCount = leafText();
                        } else if (s == QLatin1String("channels")) {
                            while (xml.readNextStartElement()) {
                                if (xml.name() != QLatin1String("channel")) {
                                    xml.skipCurrentElement();
                                    continue;
                                }
                                Channel c{xml.attributes().value(QLatin1String("id")).toInt(), {}, {}};
                                QSet<QString> inChannel;
                                while (xml.readNextStartElement()) {
                                    const QString f = firstOf(inChannel);
                                    if (f == QLatin1String("name"))
                                        c.name = leafText();
                                    else if (f == QLatin1String("unit"))
                                        c.unit = leafText();
                                    else
                                        xml.skipCurrentElement();
                                }
                                m_channels.append(c);
                            }
                        } else {
                            xml.skipCurrentElement();
                        }
                    }
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else if (name == QLatin1String("data")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("line")) {
                    const QXmlStreamAttributes a = xml.attributes();
                    addLine(a.value(QLatin1String("channel")).toString(),
                            a.value(QLatin1String("dataType")).toString(),
                            a.value(QLatin1String("date")).toString(),
                            a.value(QLatin1String("time")).toString(),
                            a.value(QLatin1String("value")).toString());
                }
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    // Whatever follows the root must still be well-formed.
    while (!xml.atEnd())
        xml.readNext();
    bool ok = false;
    m_channelCount = channelCount.trimmed().toInt(&ok);
    if (!ok)
        m_channelCount = m_channels.size();
    return !xml.hasError();
}

bool ExcelConverter::convert(const QString &path, ExcelType type, bool pivot)
{
    const QFileInfo info(path);
    m_sourcePath = path;
    m_folder = info.absolutePath();
    m_baseName = info.completeBaseName();
    m_lastError.clear();
    m_errorDetail.clear();

    QFile file(path);
    // A missing file is as unreadable as a locked one: no empty workbook.
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("File could not be opened for read."));
        return false;
    }
    m_stationName.clear();
    m_stationCode.clear();
    m_setupTimestamp.clear();
    m_channels.clear();
    m_lines.clear();
    m_texts.clear();
    m_textIndex.clear();
    QXmlStreamReader xml(&file);
    if (!readStream(xml)) {
        fail(QStringLiteral("XML Error at %1/%2\n\n%3")
                 .arg(xml.lineNumber())
                 .arg(xml.columnNumber())
                 .arg(xml.errorString()));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("File could not be opened for read."));
        return false;
    }
    file.close();
    return run(type, pivot);
}

bool ExcelConverter::convert(const QDomDocument &document, ExcelType type, bool pivot)
{
    m_lastError.clear();
    m_errorDetail.clear();
    m_stationName.clear();
    m_stationCode.clear();
    m_setupTimestamp.clear();
    m_channels.clear();
    m_lines.clear();
    m_texts.clear();
    m_textIndex.clear();
    readDocument(document);
    return run(type, pivot);
}

bool ExcelConverter::run(ExcelType type, bool pivot)
{
    step(QStringLiteral("Loading xml"));
    QString extension;
    if (type == Xls)
        extension = QStringLiteral(".xls");
    else if (type == Xlsx)
        extension = QStringLiteral(".xlsx");
    else {
        fail(QStringLiteral("Invalid excel type"));
        return false;
    }
    m_outputPath =
        m_sourcePath.isEmpty() ? QString() : QStringLiteral("%1/%2").arg(m_folder, m_baseName) + extension;
    m_book.reset(new Workbook(type == Xls ? Workbook::Xls : Workbook::Xlsx));
    m_daily = Page();
    m_monthly = Page();
    m_annual = Page();
    m_pivotRows.clear();
    m_pivotCols.clear();

    createFormats();
    QFile logo(QStringLiteral(":/images/logo/velk.png"));
    m_logo = logo.open(QIODevice::ReadOnly) ? m_book->addPicture(logo.readAll()) : -1;

    step(QStringLiteral("Creating daily page"));
    Worksheet *daily = createDailyPage();
    step(QStringLiteral("Creating monthly page"));
    Worksheet *monthly = daily ? createMonthlyPage() : nullptr;
    step(QStringLiteral("Creating annual page"));
    Worksheet *annual = monthly ? createAnnualPage() : nullptr;
    if (!daily || !monthly || !annual) {
        fail(QStringLiteral("Sheet could not created!"));
        m_book.reset();
        return false;
    }
    step(QStringLiteral("Writing daily data"));
    writeDailyData();
    step(QStringLiteral("Writing monthly data"));
    writeMonthlyData();
    step(QStringLiteral("Writing annual data"));
    writeAnnualData();
    if (pivot) {
        // A damaged channel count must not ask for millions of sheets.
        const int count = qBound(0, m_channelCount, kMaxPivotSheets);
        for (int i = 0; i < count; ++i) {
            QString name = QString::number(i);
            for (const Channel &c : qAsConst(m_channels))
                if (c.id == i) {
                    name = c.name;
                    break;
                }
            step(QStringLiteral("Writing %1 pivot page").arg(name));
            writePivotTable(i);
        }
    }
    step(QStringLiteral("Saving file"));
    const bool saved = m_book->save(m_outputPath);
    if (!saved) {
        m_errorDetail = m_book->errorString();
        qCWarning(lcExcel, "ExcelConverter: %s", qPrintable(m_errorDetail));
        fail(QStringLiteral("File write error!"));
    }
    m_book.reset();
    return saved;
}

void ExcelConverter::createFormats()
{
    CellFormat base;
    base.border = CellFormat::Thin;
    base.vAlign = CellFormat::VCenter;

    CellFormat f = base;
    f.bold = true;
    f.hAlign = CellFormat::Left;
    f.fillColor = ExcelColor::PaleBlue;
    m_fTitleLabel = m_book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Left;
    m_fTitleValue = m_book->addFormat(f);

    f = base;
    f.bold = true;
    f.hAlign = CellFormat::Center;
    f.wrap = true;
    f.fillColor = ExcelColor::Grey25;
    m_fHeader = m_book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Center;
    m_fDate = m_book->addFormat(f);

    f = base;
    f.hAlign = CellFormat::Right;
    f.numberFormat = QStringLiteral("0.0000");
    m_fValue = m_book->addFormat(f);

    f = base;
    f.bold = true;
    f.hAlign = CellFormat::Center;
    f.fillColor = ExcelColor::LightYellow;
    m_fSumLabel = m_book->addFormat(f);

    f.bold = false;
    m_fSumDate = m_book->addFormat(f);

    f.hAlign = CellFormat::Right;
    f.numberFormat = QStringLiteral("0.0000");
    m_fSumValue = m_book->addFormat(f);
}

Worksheet *ExcelConverter::createDataSheet(const QString &name, int at)
{
    // Every sheet starts as "data"; the book makes names final only at save.
    Worksheet *sheet = m_book->insertSheet(at < 0 ? m_book->sheetCount() : at, QStringLiteral("data"));
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

Worksheet *ExcelConverter::createDailyPage()
{
    m_daily = {createDataSheet(QStringLiteral("Daily")), Daily, QStringLiteral("Daily"), 0};
    if (m_daily.sheet)
        createDailyTable();
    return m_daily.sheet;
}

Worksheet *ExcelConverter::createMonthlyPage()
{
    m_monthly = {createDataSheet(QStringLiteral("Monthly")), Monthly, QStringLiteral("Monthly"), 0};
    if (m_monthly.sheet)
        createMonthlyTable();
    return m_monthly.sheet;
}

Worksheet *ExcelConverter::createAnnualPage()
{
    m_annual = {createDataSheet(QStringLiteral("Annual")), Annual, QStringLiteral("Annual"), 0};
    if (m_annual.sheet)
        createAnnualTable();
    return m_annual.sheet;
}

int ExcelConverter::createTable(Page &page)
{
    // A sheet that would outgrow the format (65,536 rows in .xls) goes on
    // in "Daily (2)" and so on, right after it, rather than making the whole
    // workbook unwritable.
    if ((page.blocks + 1) * kBlockRows > m_book->maxRows()) {
        const QString name = m_book->uniqueSheetName(page.name);
        page.sheet = createDataSheet(name, m_book->indexOf(page.sheet) + 1);
        page.blocks = 0;
    }
    Worksheet *s = page.sheet;
    const int r = page.blocks * kBlockRows;
    ++page.blocks;

    if (m_logo >= 0)
        s->insertPicture(r + kLogoRow, kLogoCol, m_logo, 1.0);
    const QString labels[3] = {QStringLiteral("Station Name"), QStringLiteral("Station Code"),
                               QStringLiteral("Setup Timestamp")};
    const QString values[3] = {m_stationName, m_stationCode, m_setupTimestamp};
    for (int i = 0; i < 3; ++i) {
        s->mergeCells(r + 1 + i, 1, r + 1 + i, 2, m_fTitleLabel);
        s->writeString(r + 1 + i, 1, labels[i]);
        s->mergeCells(r + 1 + i, 3, r + 1 + i, 5, m_fTitleValue);
        s->writeString(r + 1 + i, 3, values[i]);
    }

    const int h = r + kHeaderRow;
    for (int c = 1; c <= kLastFormattedCol; ++c) {
        s->setCellFormat(h, c, m_fHeader);
        s->setCellFormat(h + 1, c, m_fHeader);
    }
    s->mergeCells(h, 1, h + 1, 1);
    s->writeString(h, 1, page.kind == Annual ? QStringLiteral("Month") : QStringLiteral("Date"));
    s->mergeCells(h, 2, h + 1, 2);
    if (page.kind == Daily)
        s->writeString(h, 2, QStringLiteral("Time"));
    for (const Channel &c : qAsConst(m_channels)) {
        if (c.id < 0)
            continue;
        s->writeString(h, c.id + kFirstValueCol, c.name);
        s->writeString(h + 1, c.id + kFirstValueCol, c.unit);
    }

    const int lastData = page.kind == Daily     ? kDailyLastDataRow
                         : page.kind == Monthly ? kMonthlyLastDataRow
                                                : kFirstDataRow + 11;
    for (int row = r + kFirstDataRow; row <= r + lastData; ++row) {
        s->setCellFormat(row, 1, m_fDate);
        s->setCellFormat(row, 2, m_fDate);
        for (int c = kFirstValueCol; c <= kLastFormattedCol; ++c)
            s->setCellFormat(row, c, m_fValue);
    }

    auto summaryRow = [&](int row, const QString &label, bool dates) {
        s->mergeCells(row, 1, row, 2, m_fSumLabel);
        s->writeString(row, 1, label);
        for (int c = kFirstValueCol; c <= kLastFormattedCol; ++c)
            s->setCellFormat(row, c, dates ? m_fSumDate : m_fSumValue);
    };
    if (page.kind == Daily) {
        summaryRow(r + kDailyMinTime, QStringLiteral("Time"), true);
        summaryRow(r + kDailyMin, QStringLiteral("MIN"), false);
        summaryRow(r + kDailyMaxTime, QStringLiteral("Time"), true);
        summaryRow(r + kDailyMax, QStringLiteral("MAX"), false);
        summaryRow(r + kDailyAvg, QStringLiteral("AVG"), false);
        summaryRow(r + kDailyTot, QStringLiteral("TOT"), false);
    } else {
        const int sr = r + (page.kind == Monthly ? kMonthlySummaryRow : kAnnualSummaryRow);
        summaryRow(sr + kSumMax, QStringLiteral("MAX"), false);
        summaryRow(sr + kSumMaxDate, QStringLiteral("Date"), true);
        summaryRow(sr + kSumMin, QStringLiteral("MIN"), false);
        summaryRow(sr + kSumMinDate, QStringLiteral("Date"), true);
        summaryRow(sr + kSumTot, QStringLiteral("TOT"), false);
    }
    return r;
}

void ExcelConverter::writeValue(Worksheet *sheet, int row, int col, const Line &line)
{
    if (line.valueText < 0)
        sheet->writeNumber(row, col, line.value);
    else
        sheet->writeString(row, col, m_texts.at(line.valueText));
}

void ExcelConverter::writeDailyData()
{
    // The first block was made with the page; it takes the first date.
    int r = (m_daily.blocks - 1) * kBlockRows;
    int blockDate = -1, row = -1, rowDate = -1, rowTime = -1;
    for (const Line &l : qAsConst(m_lines)) {
        Worksheet *s = m_daily.sheet;
        const int col = l.channel + kFirstValueCol;
        switch (l.type) {
        case Ins:
            if (row < 0 || l.date != rowDate || l.time != rowTime) {
                if (blockDate < 0 && row < 0) {
                    row = r + kFirstDataRow;
                } else if (l.date != blockDate || row + 1 > r + kDailyLastDataRow) {
                    r = createDailyTable();
                    s = m_daily.sheet;
                    row = r + kFirstDataRow;
                } else {
                    ++row;
                }
                blockDate = l.date;
                rowDate = l.date;
                rowTime = l.time;
                s->writeString(row, 1, m_texts.at(l.date));
                s->writeString(row, 2, m_texts.at(l.time));
            }
            writeValue(s, row, col, l);
            break;
        case Min:
            s->writeString(r + kDailyMinTime, col, m_texts.at(l.time));
            writeValue(s, r + kDailyMin, col, l);
            break;
        case Max:
            s->writeString(r + kDailyMaxTime, col, m_texts.at(l.time));
            writeValue(s, r + kDailyMax, col, l);
            break;
        case Avg:
            writeValue(s, r + kDailyAvg, col, l);
            break;
        case Tot:
            writeValue(s, r + kDailyTot, col, l);
            break;
        case Other:
            break;
        }
    }
}

void ExcelConverter::writeSummary(Worksheet *sheet, int firstRow, const QMap<int, Stat> &stats)
{
    // A channel without values in the period gets no summary rather than
    // made-up extremes.
    for (auto it = stats.cbegin(); it != stats.cend(); ++it) {
        const int col = it.key() + kFirstValueCol;
        const Stat &st = it.value();
        sheet->writeNumber(firstRow + kSumMax, col, st.max);
        sheet->writeString(firstRow + kSumMaxDate, col, st.maxDate);
        sheet->writeNumber(firstRow + kSumMin, col, st.min);
        sheet->writeString(firstRow + kSumMinDate, col, st.minDate);
        sheet->writeNumber(firstRow + kSumTot, col, st.sum);
    }
}

void ExcelConverter::writeMonthlyData()
{
    int r = (m_monthly.blocks - 1) * kBlockRows;
    QString month;
    bool started = false;
    int previousDate = -1, row = -1;
    QHash<int, int> rowOfDate;
    QMap<int, Stat> stats;
    for (const Line &l : qAsConst(m_lines)) {
        if (l.date != previousDate) {
            previousDate = l.date;
            const QString &date = m_texts.at(l.date);
            const QString lineMonth = date.left(7);
            if (started && lineMonth != month) {
                writeSummary(m_monthly.sheet, r + kMonthlySummaryRow, stats);
                stats.clear();
                rowOfDate.clear();
                r = createMonthlyTable();
            }
            started = true;
            month = lineMonth;
            // A date seen earlier in the month keeps its row, so repeated
            // downloads never run into the summary rows.
            row = rowOfDate.value(l.date, -1);
            if (row < 0) {
                row = r + kFirstDataRow + rowOfDate.size();
                if (row > r + kMonthlyLastDataRow) { // only for malformed dates
                    r = createMonthlyTable();
                    rowOfDate.clear();
                    row = r + kFirstDataRow;
                }
                rowOfDate.insert(l.date, row);
            }
        }
        if (l.type != Avg)
            continue;
        Worksheet *s = m_monthly.sheet;
        s->writeString(row, 1, m_texts.at(l.date));
        writeValue(s, row, l.channel + kFirstValueCol, l);
        if (l.valueText < 0)
            stats[l.channel].add(l.value, m_texts.at(l.date));
    }
    if (started)
        writeSummary(m_monthly.sheet, r + kMonthlySummaryRow, stats);
}

void ExcelConverter::writeAnnualData()
{
    struct Sum
    {
        double sum = 0;
        int count = 0;
    };
    // year -> month -> channel -> daily averages
    QMap<QString, QMap<int, QMap<int, Sum>>> months;
    QMap<QString, QMap<int, double>> yearTotals;
    for (const Line &l : qAsConst(m_lines)) {
        if (l.type != Avg || l.valueText >= 0)
            continue;
        const QString &date = m_texts.at(l.date);
        bool ok = false;
        const int month = date.mid(5, 2).toInt(&ok);
        if (date.size() < 7 || date.at(4) != QLatin1Char('-') || !ok || month < 1 || month > 12)
            continue;
        Sum &s = months[date.left(4)][month][l.channel];
        s.sum += l.value;
        ++s.count;
        yearTotals[date.left(4)][l.channel] += l.value;
    }
    bool first = true;
    for (auto y = months.cbegin(); y != months.cend(); ++y) {
        const int r = first ? (m_annual.blocks - 1) * kBlockRows : createAnnualTable();
        first = false;
        Worksheet *s = m_annual.sheet;
        QMap<int, Stat> stats;
        for (int m = 1; m <= 12; ++m) {
            const QString label = QStringLiteral("%1-%2").arg(y.key()).arg(m, 2, 10, QLatin1Char('0'));
            s->writeString(r + kFirstDataRow + m - 1, 1, label);
            const auto month = y->constFind(m);
            if (month == y->cend())
                continue;
            for (auto c = month->cbegin(); c != month->cend(); ++c) {
                const double mean = c->sum / c->count;
                s->writeNumber(r + kFirstDataRow + m - 1, c.key() + kFirstValueCol, mean);
                stats[c.key()].add(mean, label);
            }
        }
        // MAX and MIN are the extreme monthly means; TOT adds up every daily
        // average of the year, as the monthly sheet's TOT does for a month.
        for (auto it = stats.begin(); it != stats.end(); ++it)
            it->sum = yearTotals[y.key()].value(it.key());
        writeSummary(s, r + kAnnualSummaryRow, stats);
    }
}

int ExcelConverter::findRow(const QString &label) const
{
    return m_pivotRows.value(label, -1);
}

int ExcelConverter::findCol(const QString &label) const
{
    return m_pivotCols.value(label, -1);
}

namespace {
// Dates ("yyyy-MM-dd") before times ("hh:mm") before any other text; each
// kind in its own order. Parsed by hand: Qt's parser with a format looks up
// the time zone on every call.
struct SortKey
{
    int kind;
    qint64 value;
    bool operator<(const SortKey &o) const { return kind != o.kind ? kind < o.kind : value < o.value; }
};

bool digits(const QString &s, int from, int count, int *out)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = s.at(i).unicode();
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

SortKey sortKey(const QString &s)
{
    int y, m, d, h, min;
    if (s.size() == 10 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') && digits(s, 0, 4, &y) &&
        digits(s, 5, 2, &m) && digits(s, 8, 2, &d)) {
        const QDate date(y, m, d);
        if (date.isValid())
            return {0, date.toJulianDay()};
    }
    if (s.size() == 5 && s.at(2) == QLatin1Char(':') && digits(s, 0, 2, &h) && digits(s, 3, 2, &min) &&
        h < 24 && min < 60)
        return {1, h * 60 + min};
    return {2, 0};
}
} // namespace

bool ExcelConverter::lessThan(const QString &a, const QString &b)
{
    const SortKey ka = sortKey(a), kb = sortKey(b);
    if (ka.kind == 2 && kb.kind == 2)
        return a < b;
    return ka < kb;
}

void ExcelConverter::writePivotTable(int channel)
{
    QString name = QString::number(channel);
    for (const Channel &c : qAsConst(m_channels))
        if (c.id == channel) {
            name = c.name;
            break;
        }
    Worksheet *s = m_book->addSheet(QStringLiteral("data"));
    s->setName(m_book->uniqueSheetName(name, QStringLiteral("_Pivot")));
    s->setColumnWidth(0, 0, 10.14);
    s->setMargins(0.4, 0.4, 0.5, 0.5);

    QVector<int> dateIds, timeIds;
    {
        QSet<int> dates, times;
        for (const Line &l : qAsConst(m_lines)) {
            if (l.channel != channel || l.type != Ins)
                continue;
            if (!dates.contains(l.date)) {
                dates.insert(l.date);
                dateIds.append(l.date);
            }
            if (!times.contains(l.time)) {
                times.insert(l.time);
                timeIds.append(l.time);
            }
        }
    }
    auto sorted = [this](const QVector<int> &ids) {
        QStringList texts;
        for (int id : ids)
            texts.append(m_texts.at(id));
        std::sort(texts.begin(), texts.end(), &ExcelConverter::lessThan);
        return texts;
    };
    const QStringList dates = sorted(dateIds);
    const QStringList times = sorted(timeIds);

    // Dates down column 0 and times across row 0, "Date" in the corner.
    m_pivotRows.clear();
    m_pivotCols.clear();
    s->writeString(0, 0, QStringLiteral("Date"), m_fHeader);
    for (int i = 0; i < dates.size(); ++i) {
        s->writeString(i + 1, 0, dates.at(i), m_fHeader);
        m_pivotRows.insert(dates.at(i), i + 1);
    }
    for (int i = 0; i < times.size(); ++i) {
        s->writeString(0, i + 1, times.at(i), m_fHeader);
        m_pivotCols.insert(times.at(i), i + 1);
    }
    for (const Line &l : qAsConst(m_lines)) {
        if (l.channel != channel || l.type != Ins)
            continue;
        const int row = findRow(m_texts.at(l.date));
        const int col = findCol(m_texts.at(l.time));
        if (l.valueText < 0)
            s->writeNumber(row, col, l.value, m_fValue);
        else
            s->writeString(row, col, m_texts.at(l.valueText), m_fValue);
    }
}
