#include "nexil/excel/reportpage.h"
#include "nexil/excel/workbook.h"

#include <QtTest>

using namespace report;

// How a report sheet's blocks are set up for printing, read from the book in
// memory; tst_excelconverter prints them through LibreOffice.
class tst_ReportPage : public QObject
{
    Q_OBJECT
private slots:
    void types_data();
    void eachBlockPrintsOnAPageOfItsOwn_data() { types_data(); }
    void eachBlockPrintsOnAPageOfItsOwn();
    void tooManyBlocksForPageBreaksFitAcrossWithHeadersRepeated();
    void aContinuedXlsSheetHasItsOwnPrintSetup();
};

namespace {
Header header(int lastChannel)
{
    Header h;
    h.stationName = QStringLiteral("Söğütlü");
    h.channels = {{0, QString(), QStringLiteral("Level"), QStringLiteral("cm")},
                  {lastChannel, QString(), QStringLiteral("Rain"), QStringLiteral("mm")}};
    h.channelCount = 2;
    return h;
}
} // namespace

void tst_ReportPage::types_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("xls") << int(Workbook::Xls);
    QTest::newRow("xlsx") << int(Workbook::Xlsx);
}

void tst_ReportPage::eachBlockPrintsOnAPageOfItsOwn()
{
    QFETCH(int, type);
    int scaleOfTenChannels = 0;
    for (int lastChannel : {9, 25}) {
        Workbook book{Workbook::Type(type)};
        const Style style = Style::create(&book, QByteArray());
        const Header h = header(lastChannel);
        ReportPage page(&book, style, h, ReportPage::Monthly);
        QVERIFY(page.isValid());
        QCOMPARE(page.addBlock(), 50);
        QCOMPARE(page.addBlock(), 100);
        page.finish();
        const Worksheet::PageSetup &p = page.sheet()->pageSetup();
        QVERIFY(p.landscape);
        QCOMPARE(p.paperSize, 9);
        QVERIFY(!p.fit);
        QCOMPARE(p.rowBreaks, QVector<int>({50, 100}));
        // The frame's last column, or the last channel's beyond it.
        const int lastColumn = qMax(13, lastChannel + 3);
        QCOMPARE(p.printArea.firstRow, 0);
        QCOMPARE(p.printArea.lastRow, 149);
        QCOMPARE(p.printArea.lastCol, lastColumn);
        QCOMPARE(p.repeatFirstRow, -1); // every page starts with a block's headers
        QVERIFY2(p.scale >= 20 && p.scale < 90, qPrintable(QString::number(p.scale)));
        if (lastChannel == 9)
            scaleOfTenChannels = p.scale;
        else // sixteen more columns across take a smaller scale
            QVERIFY2(p.scale < scaleOfTenChannels, qPrintable(QString::number(p.scale)));
    }
}

void tst_ReportPage::tooManyBlocksForPageBreaksFitAcrossWithHeadersRepeated()
{
    Workbook book(Workbook::Xlsx);
    const Style style = Style::create(&book, QByteArray());
    const Header h = header(1);
    ReportPage page(&book, style, h, ReportPage::Daily);
    for (int i = 1; i < layout::MaxPageBreaks + 2; ++i)
        page.addBlock();
    page.finish();
    const Worksheet::PageSetup &p = page.sheet()->pageSetup();
    QVERIFY(p.landscape);
    QVERIFY(p.fit);
    QCOMPARE(p.fitWidth, 1);
    QCOMPARE(p.fitHeight, 0);
    QVERIFY(p.rowBreaks.isEmpty());
    QCOMPARE(p.repeatFirstRow, 7);
    QCOMPARE(p.repeatLastRow, 8);
    QCOMPARE(p.printArea.lastRow, (layout::MaxPageBreaks + 2) * 50 - 1);
}

void tst_ReportPage::aContinuedXlsSheetHasItsOwnPrintSetup()
{
    // 65,536 rows hold 1,310 blocks; the rest go on in "Daily (2)".
    Workbook book(Workbook::Xls);
    const Style style = Style::create(&book, QByteArray());
    const Header h = header(1);
    ReportPage page(&book, style, h, ReportPage::Daily);
    for (int i = 1; i < 1315; ++i)
        page.addBlock();
    page.finish();
    QCOMPARE(book.sheetCount(), 2);
    const Worksheet::PageSetup &first = book.sheet(0)->pageSetup();
    QVERIFY(first.fit);
    QCOMPARE(first.printArea.lastRow, 1310 * 50 - 1);
    const Worksheet::PageSetup &more = book.sheet(1)->pageSetup();
    QCOMPARE(book.sheet(1)->name(), QStringLiteral("Daily (2)"));
    QVERIFY(!more.fit);
    QCOMPARE(more.rowBreaks, QVector<int>({50, 100, 150, 200}));
    QCOMPARE(more.printArea.lastRow, 5 * 50 - 1);
}

QTEST_GUILESS_MAIN(tst_ReportPage)
#include "tst_reportpage.moc"
