#include "bookreader.h"
#include "nexil/excel/workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The in-memory book: what it accepts, what it refuses and what both
// writers make of it.
class tst_Workbook : public QObject
{
    Q_OBJECT
private slots:
    void overlappingMergesAreRejected();
    void sheetNamesAreCheckedAtSave_data();
    void sheetNamesAreCheckedAtSave();
    void uniqueSheetNameShortensAndNumbers();
    void cellsInAnyOrderWithLaterWritesWinning_data();
    void cellsInAnyOrderWithLaterWritesWinning();
    void cellsOutsideTheGridBlockTheSave();
    void failedSaveKeepsTheEarlierWorkbook_data();
    void failedSaveKeepsTheEarlierWorkbook();

private:
    QTemporaryDir m_dir;
};

void tst_Workbook::overlappingMergesAreRejected()
{
    Workbook book(Workbook::Xlsx);
    Worksheet *s = book.addSheet(QStringLiteral("m"));
    QVERIFY(s->mergeCells(1, 1, 1, 3));  // B2:D2
    QVERIFY(!s->mergeCells(1, 2, 2, 4)); // C2:E3 overlaps
    QVERIFY(!s->mergeCells(0, 0, 5, 1)); // covers B2
    QVERIFY(s->mergeCells(2, 1, 2, 3));  // the row below is free
    QVERIFY(s->mergeCells(1, 4, 2, 4));  // E2:E3 touches, does not overlap
    QVERIFY(!s->mergeCells(3, 3, 3, 3)); // a single cell is no range
    QVERIFY(!s->mergeCells(4, 4, 3, 4)); // reversed
    QCOMPARE(s->merges().size(), 3);
}

void tst_Workbook::sheetNamesAreCheckedAtSave_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("ok");
    QTest::newRow("fine") << QStringList{QStringLiteral("Daily"), QStringLiteral("Su Seviyesi_Pivot")}
                          << true;
    QTest::newRow("31 chars") << QStringList{QString(31, QLatin1Char('a'))} << true;
    QTest::newRow("32 chars") << QStringList{QString(32, QLatin1Char('a'))} << false;
    QTest::newRow("colon") << QStringList{QStringLiteral("a:b")} << false;
    QTest::newRow("slash") << QStringList{QStringLiteral("a/b")} << false;
    QTest::newRow("bracket") << QStringList{QStringLiteral("[x]")} << false;
    QTest::newRow("empty") << QStringList{QString()} << false;
    QTest::newRow("duplicate, other case")
        << QStringList{QStringLiteral("data"), QStringLiteral("DATA")} << false;
}

void tst_Workbook::sheetNamesAreCheckedAtSave()
{
    QFETCH(QStringList, names);
    QFETCH(bool, ok);
    for (Workbook::Type type : {Workbook::Xls, Workbook::Xlsx}) {
        Workbook book(type);
        for (const QString &n : names)
            book.addSheet(QStringLiteral("data"))->setName(n); // only the final name counts
        const QString path =
            m_dir.filePath(QStringLiteral("names") + (type == Workbook::Xls ? ".xls" : ".xlsx"));
        QFile::remove(path);
        QCOMPARE(book.save(path), ok);
        QCOMPARE(QFile::exists(path), ok);
        if (ok) {
            const bookreader::Book back = bookreader::read(path, true);
            QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
            QCOMPARE(back.names(), names);
        } else {
            QVERIFY(!book.errorString().isEmpty());
        }
    }
}

void tst_Workbook::uniqueSheetNameShortensAndNumbers()
{
    Workbook book(Workbook::Xls);
    const QString a =
        book.uniqueSheetName(QStringLiteral("Water level [cm] / upper gauge"), QStringLiteral("_Pivot"));
    QCOMPARE(a, QStringLiteral("Water level _cm_ _ upper _Pivot"));
    QCOMPARE(a.size(), 31);
    book.addSheet(a);
    const QString b =
        book.uniqueSheetName(QStringLiteral("Water level [cm] / upper gauge"), QStringLiteral("_Pivot"));
    QCOMPARE(b, QStringLiteral("Water level _cm_ _ up (2)_Pivot"));
    book.addSheet(b);
    book.addSheet(QStringLiteral("Daily"));
    QCOMPARE(book.uniqueSheetName(QStringLiteral("daily")), QStringLiteral("daily (2)"));
    QCOMPARE(book.uniqueSheetName(QString(), QStringLiteral("_Pivot")), QStringLiteral("_Pivot"));
    QCOMPARE(book.uniqueSheetName(QStringLiteral("'quoted'")), QStringLiteral("quoted"));
    for (const QString &n : {a, b})
        QVERIFY(Workbook::sheetNameProblem(n).isEmpty());
}

void tst_Workbook::cellsInAnyOrderWithLaterWritesWinning_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("xls") << int(Workbook::Xls);
    QTest::newRow("xlsx") << int(Workbook::Xlsx);
}

void tst_Workbook::cellsInAnyOrderWithLaterWritesWinning()
{
    QFETCH(int, type);
    Workbook book{Workbook::Type(type)};
    CellFormat f;
    f.numberFormat = QStringLiteral("0.0000");
    const int fixed = book.addFormat(f);
    CellFormat b;
    b.bold = true;
    const int bold = book.addFormat(b);
    Worksheet *s = book.addSheet(QStringLiteral("order"));
    for (int r = 99; r >= 0; --r)
        s->writeNumber(r, r % 7, r * 1.25);
    s->setCellFormat(200, 1, fixed); // a format first, the value keeps it
    s->writeNumber(200, 1, 3.5);
    s->writeString(201, 1, QStringLiteral("x")); // a value first, a format later keeps it
    s->setCellFormat(201, 1, bold);
    s->writeNumber(202, 1, 1, bold); // an explicit format replaces
    s->writeString(202, 1, QStringLiteral("y"), fixed);
    s->writeNumber(203, 1, 1);
    s->writeNumber(203, 1, 2);
    const QString path = m_dir.filePath(QStringLiteral("order") + (type == Workbook::Xls ? ".xls" : ".xlsx"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    const bookreader::Book back = bookreader::read(path);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &sh = back.sheets.at(0);
    for (int r = 0; r < 100; ++r)
        QCOMPARE(sh.number(r, r % 7), r * 1.25);
    QCOMPARE(sh.number(200, 1), 3.5);
    QCOMPARE(sh.format(200, 1), QStringLiteral("0.0000"));
    QCOMPARE(sh.text(201, 1), QStringLiteral("x"));
    QVERIFY(sh.bold(201, 1));
    QCOMPARE(sh.text(202, 1), QStringLiteral("y"));
    QVERIFY(!sh.bold(202, 1));
    QCOMPARE(sh.number(203, 1), 2.0);
}

void tst_Workbook::cellsOutsideTheGridBlockTheSave()
{
    Workbook book(Workbook::Xlsx);
    Worksheet *s = book.addSheet(QStringLiteral("grid"));
    QVERIFY(s->writeNumber(Workbook::GridRows - 1, Workbook::GridColumns - 1, 1));
    QVERIFY(!s->writeNumber(-1, 0, 1));
    QVERIFY(!s->writeString(0, Workbook::GridColumns, QStringLiteral("x")));
    QVERIFY(!s->writeString(0, 0, QString(Workbook::MaxTextLength + 1, QLatin1Char('x'))));
    QVERIFY(!s->writeNumber(0, 0, 1, 99)); // no such format
    const QString path = m_dir.filePath(QStringLiteral("grid.xlsx"));
    QVERIFY(!book.save(path));
    QVERIFY(book.errorString().contains(QStringLiteral("4 cells")));
    QVERIFY(!QFile::exists(path));
}

void tst_Workbook::failedSaveKeepsTheEarlierWorkbook_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("xls") << int(Workbook::Xls);
    QTest::newRow("xlsx") << int(Workbook::Xlsx);
}

void tst_Workbook::failedSaveKeepsTheEarlierWorkbook()
{
    QFETCH(int, type);
    const QString ext = type == Workbook::Xls ? QStringLiteral(".xls") : QStringLiteral(".xlsx");
    const QString path = m_dir.filePath(QStringLiteral("keep") + ext);
    {
        Workbook good{Workbook::Type(type)};
        good.addSheet(QStringLiteral("good"))->writeNumber(0, 0, 42);
        QVERIFY2(good.save(path), qPrintable(good.errorString()));
    }
    {
        Workbook bad{Workbook::Type(type)};
        bad.addSheet(QStringLiteral("bad?"))->writeNumber(0, 0, 1);
        QVERIFY(!bad.save(path));
    }
    {
        // An unwritable place fails with a reason and no file.
        Workbook book{Workbook::Type(type)};
        book.addSheet(QStringLiteral("x"));
        QVERIFY(!book.save(m_dir.filePath(QStringLiteral("missing/dir/out") + ext)));
        QVERIFY(book.errorString().contains(QStringLiteral("missing/dir")));
    }
    const bookreader::Book back = bookreader::read(path, true);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    QCOMPARE(back.names(), QStringList{QStringLiteral("good")});
    QCOMPARE(back.sheets.at(0).number(0, 0), 42.0);
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".keep*")}, QDir::Files | QDir::Hidden).size(), 0);
}

QTEST_GUILESS_MAIN(tst_Workbook)
#include "tst_workbook.moc"
