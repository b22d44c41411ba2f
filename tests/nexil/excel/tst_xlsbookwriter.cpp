#include "bookreader.h"
#include "nexil/excel/workbook.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

// The .xls writer read back by xlrd and LibreOffice.
class tst_XlsBookWriter : public QObject
{
    Q_OBJECT
private slots:
    void randomDoublesRoundTripExactly();
    void stringsAcrossContinueRecords_data();
    void stringsAcrossContinueRecords();
    void formatsMergesWidthsAndMargins();
    void largeFileNeedsDifatSectors();
    void tinyFileIsPaddedOutOfTheMiniStream();
    void tooManyRowsOrColumnsAreRefused();
    void libreOfficeReadsStringsAndNumbers();

private:
    QTemporaryDir m_dir;
};

void tst_XlsBookWriter::randomDoublesRoundTripExactly()
{
    QRandomGenerator rng(20241207);
    QVector<double> values;
    Workbook book(Workbook::Xls);
    Worksheet *s = book.addSheet(QStringLiteral("numbers"));
    for (int i = 0; i < 3000; ++i) {
        quint64 bits = rng.generate64();
        double v;
        std::memcpy(&v, &bits, 8);
        if (!std::isfinite(v))
            v = rng.generateDouble() * 1e6 - 5e5;
        values.append(v);
        s->writeNumber(i / 10, i % 10, v);
    }
    const QString path = m_dir.filePath(QStringLiteral("doubles.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    const bookreader::Book back = bookreader::read(path, true);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &sh = back.sheets.at(0);
    for (int i = 0; i < values.size(); ++i) {
        // JSON carries doubles at full precision; compare the bits.
        const double got = sh.number(i / 10, i % 10);
        QVERIFY2(
            std::memcmp(&got, &values[i], 8) == 0 || got == values[i],
            qPrintable(
                QStringLiteral("cell %1: %2 != %3").arg(i).arg(got, 0, 'g', 17).arg(values[i], 0, 'g', 17)));
    }
}

void tst_XlsBookWriter::stringsAcrossContinueRecords_data()
{
    QTest::addColumn<bool>("wide");
    QTest::newRow("latin-1") << false;
    QTest::newRow("utf-16") << true;
}

void tst_XlsBookWriter::stringsAcrossContinueRecords()
{
    QFETCH(bool, wide);
    // Lengths around the 8224-byte record limit, with odd and even offsets,
    // so that headers and characters land on every side of a boundary.
    QRandomGenerator rng(wide ? 7 : 3);
    QStringList texts;
    const QString alphabet =
        wide ? QStringLiteral("ğüşıöçĞÜŞİÖÇ€水αβ abc") : QStringLiteral("abcxyzäöüéñ 0123");
    for (int i = 0; i < 400; ++i) {
        const int len = i % 50 == 0 ? 9000 + int(rng.bounded(4000)) : int(rng.bounded(1, 300));
        QString t;
        for (int k = 0; k < len; ++k)
            t.append(alphabet.at(int(rng.bounded(alphabet.size()))));
        texts.append(QString::number(i) + t);
    }
    texts.append(QString()); // empty strings are legal shared strings too
    Workbook book(Workbook::Xls);
    Worksheet *s = book.addSheet(QStringLiteral("texts"));
    for (int i = 0; i < texts.size(); ++i)
        s->writeString(i, 0, texts.at(i));
    const QString path = m_dir.filePath(QStringLiteral("texts-%1.xls").arg(wide));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    const bookreader::Book back = bookreader::read(path, true);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    for (int i = 0; i < texts.size() - 1; ++i)
        QCOMPARE(back.sheets.at(0).text(i, 0), texts.at(i));
}

void tst_XlsBookWriter::formatsMergesWidthsAndMargins()
{
    Workbook book(Workbook::Xls);
    CellFormat f;
    f.numberFormat = QStringLiteral("0.0000");
    f.border = CellFormat::Medium;
    const int value = book.addFormat(f);
    CellFormat h;
    h.bold = true;
    h.fillColor = ExcelColor::Grey25;
    const int header = book.addFormat(h);
    Worksheet *s = book.addSheet(QStringLiteral("one"));
    Worksheet *t = book.addSheet(QStringLiteral("two"));
    s->writeNumber(3, 2, 1.004, value);
    QVERIFY(s->mergeCells(1, 2, 1, 6, header));
    s->writeString(1, 2, QStringLiteral("Başlık"));
    s->setColumnWidth(0, 0, 6.57);
    s->setColumnWidth(1, 2, 10.14);
    s->setColumnWidth(13, 13, 1.29);
    s->setMargins(0.4, 0.4, 0.5, 0.5);
    t->writeNumber(0, 0, 2);
    const QString path = m_dir.filePath(QStringLiteral("formats.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));

    const bookreader::Book back = bookreader::read(path);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    QCOMPARE(back.names(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
    const bookreader::Sheet &sh = back.sheets.at(0);
    QCOMPARE(sh.format(3, 2), QStringLiteral("0.0000"));
    QCOMPARE(sh.number(3, 2), 1.004);
    QCOMPARE(sh.text(1, 2), QStringLiteral("Başlık"));
    QVERIFY(sh.bold(1, 2));
    QVERIFY(sh.filled(1, 2));
    QVERIFY(!sh.bold(3, 2));
    QVERIFY(sh.isMerged(1, 2, 1, 6));
    QCOMPARE(sh.width(0), 1865 / 256.0);
    QCOMPARE(sh.width(1), 2779 / 256.0);
    QCOMPARE(sh.width(2), 2779 / 256.0);
    QCOMPARE(sh.width(13), 512 / 256.0);
    QCOMPARE(sh.margins, QJsonArray({0.4, 0.4, 0.5, 0.5}));
    QCOMPARE(back.sheets.at(1).number(0, 0), 2.0);
}

void tst_XlsBookWriter::largeFileNeedsDifatSectors()
{
    // About 10 MB: more FAT sectors than the header's 109 slots can list.
    Workbook book(Workbook::Xls);
    Worksheet *s = book.addSheet(QStringLiteral("big"));
    const int rows = 60000, cols = 10;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            s->writeNumber(r, c, r * 0.5 + c);
    const QString path = m_dir.filePath(QStringLiteral("big.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    QVERIFY(QFileInfo(path).size() > 7 * 1024 * 1024);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(512);
    QVERIFY(qFromLittleEndian<quint32>(head.constData() + 72) > 0); // DIFAT sectors in use
    const bookreader::Book back = bookreader::read(path, true, QStringLiteral("0:0,59990:59999"));
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &sh = back.sheets.at(0);
    QCOMPARE(sh.count, rows * cols);
    QCOMPARE(sh.number(0, 1), 1.0);
    for (int r = rows - 10; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            QCOMPARE(sh.number(r, c), r * 0.5 + c);
}

void tst_XlsBookWriter::tinyFileIsPaddedOutOfTheMiniStream()
{
    Workbook book(Workbook::Xls);
    book.addSheet(QStringLiteral("x"))->writeString(0, 0, QStringLiteral("a"));
    const QString path = m_dir.filePath(QStringLiteral("tiny.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 60), 0xFFFFFFFEu); // no mini FAT
    const bookreader::Book back = bookreader::read(path);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    QCOMPARE(back.sheets.at(0).text(0, 0), QStringLiteral("a"));
}

void tst_XlsBookWriter::tooManyRowsOrColumnsAreRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("limits.xls"));
    {
        Workbook book(Workbook::Xls);
        Worksheet *s = book.addSheet(QStringLiteral("rows"));
        s->writeNumber(65535, 0, 1); // the last row is fine
        QVERIFY2(book.save(path), qPrintable(book.errorString()));
        s->writeNumber(65536, 0, 1);
        QVERIFY(!book.save(path));
        QVERIFY(book.errorString().contains(QStringLiteral("65537 rows")));
    }
    {
        Workbook book(Workbook::Xls);
        QVERIFY(book.addSheet(QStringLiteral("cols"))->mergeCells(0, 250, 0, 256));
        QVERIFY(!book.save(path));
        QVERIFY(book.errorString().contains(QStringLiteral("257 columns")));
    }
    // The refused saves left the earlier good file alone.
    const bookreader::Book back = bookreader::read(path, true);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    QCOMPARE(back.names(), QStringList{QStringLiteral("rows")});
}

void tst_XlsBookWriter::libreOfficeReadsStringsAndNumbers()
{
    if (bookreader::libreOffice().isEmpty())
        QSKIP("LibreOffice is not installed");
    Workbook book(Workbook::Xls);
    CellFormat f;
    f.numberFormat = QStringLiteral("0.0000");
    const int value = book.addFormat(f);
    Worksheet *s = book.addSheet(QStringLiteral("Data"));
    const QString longText = QString(9000, QChar(0x011F)) + QStringLiteral("end");
    s->writeString(0, 0, longText);
    s->writeNumber(1, 0, 1.00404, value);
    s->writeString(2, 0, QStringLiteral("İstasyon"));
    const QString path = m_dir.filePath(QStringLiteral("lo.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    const auto csv = bookreader::libreOfficeCsv(path, m_dir.filePath(QStringLiteral("lo")));
    QVERIFY(csv.contains(QStringLiteral("Data")));
    const auto rows = csv.value(QStringLiteral("Data"));
    QCOMPARE(rows.value(0).value(0), longText);
    QCOMPARE(rows.value(1).value(0), QStringLiteral("1.0040"));
    QCOMPARE(rows.value(2).value(0), QStringLiteral("İstasyon"));
}

QTEST_GUILESS_MAIN(tst_XlsBookWriter)
#include "tst_xlsbookwriter.moc"
