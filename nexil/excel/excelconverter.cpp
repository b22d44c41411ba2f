#include "nexil/excel/excelconverter.h"

#include "nexil/excel/annualsheetwriter.h"
#include "nexil/excel/dailysheetwriter.h"
#include "nexil/excel/datalinereader.h"
#include "nexil/excel/monthlysheetwriter.h"
#include "nexil/excel/pivotsheetwriter.h"
#include "nexil/excel/workbook.h"
#include "nexil/logging.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <memory>

static void initExcelResources()
{
    Q_INIT_RESOURCE(excel);
}

namespace {
const int kMaxPivotSheets = 1000;
} // namespace

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

bool ExcelConverter::convert(const QString &path, ExcelType type, bool pivot)
{
    const QFileInfo info(path);
    m_folder = info.absolutePath();
    m_baseName = info.completeBaseName();
    m_haveSource = true;
    m_lastError.clear();
    m_errorDetail.clear();

    QFile file(path);
    // A missing file is as unreadable as a locked one: no empty workbook.
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("File could not be opened for read."));
        return false;
    }
    return run(&file, type, pivot);
}

bool ExcelConverter::convert(const QDomDocument &document, ExcelType type, bool pivot)
{
    m_lastError.clear();
    m_errorDetail.clear();
    // The document goes through the same reader as a file; one without a
    // root converts like a data file without lines.
    QByteArray text =
        document.documentElement().isNull() ? QByteArray("<device/>") : document.toByteArray(-1);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return run(&buffer, type, pivot);
}

bool ExcelConverter::run(QIODevice *source, ExcelType type, bool pivot)
{
    using namespace report;
    DataLineReader reader(source);
    Header header;
    if (!reader.readHeader(&header)) {
        fail(reader.errorText());
        return false;
    }
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
    m_outputPath = m_haveSource ? QStringLiteral("%1/%2").arg(m_folder, m_baseName) + extension : QString();
    Workbook book(type == Xls ? Workbook::Xls : Workbook::Xlsx);

    QFile logo(QStringLiteral(":/images/logo/velk.png"));
    const Style style = Style::create(&book, logo.open(QIODevice::ReadOnly) ? logo.readAll() : QByteArray());

    step(QStringLiteral("Creating daily page"));
    ReportPage daily(&book, style, header, ReportPage::Daily);
    step(QStringLiteral("Creating monthly page"));
    ReportPage monthly(&book, style, header, ReportPage::Monthly);
    step(QStringLiteral("Creating annual page"));
    ReportPage annual(&book, style, header, ReportPage::Annual);
    if (!daily.isValid() || !monthly.isValid() || !annual.isValid()) {
        fail(QStringLiteral("Sheet could not created!"));
        return false;
    }

    // The daily sheet is written as the lines are read; the other sheets
    // need the whole file first.
    step(QStringLiteral("Writing daily data"));
    DailySheetWriter dailyWriter(&daily);
    DailySummaries days;
    std::unique_ptr<PivotSheetWriter> pivots(pivot ? new PivotSheetWriter : nullptr);
    Line line;
    while (reader.readLine(&line)) {
        dailyWriter.add(line);
        days.add(line);
        if (pivots)
            pivots->add(line);
    }
    if (reader.hasError()) {
        fail(reader.errorText());
        return false;
    }
    step(QStringLiteral("Writing monthly data"));
    MonthlySheetWriter::write(&monthly, days);
    step(QStringLiteral("Writing annual data"));
    AnnualSheetWriter::write(&annual, days);
    daily.finish();
    monthly.finish();
    annual.finish();

    if (pivots) {
        // A damaged channel count must not ask for millions of sheets.
        const int count = qBound(0, header.channelCount, kMaxPivotSheets);
        for (int i = 0; i < count; ++i) {
            QString name = QString::number(i);
            for (const Channel &c : qAsConst(header.channels))
                if (c.id == i) {
                    name = c.name;
                    break;
                }
            step(QStringLiteral("Writing %1 pivot page").arg(name));
            pivots->write(&book, style, i, name);
        }
    }
    step(QStringLiteral("Saving file"));
    if (!book.save(m_outputPath)) {
        m_errorDetail = book.errorString();
        qCWarning(lcExcel, "ExcelConverter: %s", qPrintable(m_errorDetail));
        fail(QStringLiteral("File write error!"));
        return false;
    }
    return true;
}
