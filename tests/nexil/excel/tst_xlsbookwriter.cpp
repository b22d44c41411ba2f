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
    void picturesAndPrintSetupReachLibreOffice();

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

void tst_XlsBookWriter::picturesAndPrintSetupReachLibreOffice()
{
    if (bookreader::libreOffice().isEmpty())
        QSKIP("LibreOffice is not installed");
    auto png = [](const char *path) {
        QFile f(QStringLiteral(NEXIL_SOURCE_DIR "/") + QLatin1String(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    Workbook book(Workbook::Xls);
    const int logo = book.addPicture(png("nexil/excel/images/logo/velk.png"));
    const int icon = book.addPicture(png("tools/modem/images/connect.png"));
    QVERIFY(logo >= 0 && icon >= 0);

    Worksheet *one = book.addSheet(QStringLiteral("one"));
    one->writeString(0, 0, QStringLiteral("x"));
    one->setColumnWidth(3, 12, 12.43);
    QVERIFY(one->insertPicture(1, 10, logo));
    QVERIFY(one->insertPicture(51, 10, logo));
    QVERIFY(one->insertPicture(101, 3, icon, 2.0));
    one->setLandscape(true);
    one->setPaperSize(9);
    one->setPrintScale(70);
    one->setRowBreaks({50, 100});
    QVERIFY(one->setPrintArea(0, 0, 149, 13));
    QVERIFY(one->setRepeatRows(7, 8));

    Worksheet *none = book.addSheet(QStringLiteral("none"));
    none->writeNumber(0, 0, 1);
    none->fitToPages(1, 0);

    // More pictures than one cluster of shape ids holds.
    Worksheet *many = book.addSheet(QStringLiteral("many"));
    many->writeNumber(0, 0, 1);
    for (int i = 0; i < 1100; ++i)
        QVERIFY(many->insertPicture(i * 4, i % 5, i % 2 ? logo : icon));

    const QString path = m_dir.filePath(QStringLiteral("pictures.xls"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));
    // xlrd still reads the book around the drawing records.
    const bookreader::Book direct = bookreader::read(path);
    QVERIFY2(direct.error.isEmpty(), qPrintable(direct.error));
    QCOMPARE(direct.sheet("one")->text(0, 0), QStringLiteral("x"));

    const QString xlsx = bookreader::libreOfficeConvert(path, QStringLiteral("xlsx"), m_dir.filePath("lo"));
    QVERIFY(!xlsx.isEmpty());
    const bookreader::Book back = bookreader::read(xlsx);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &s1 = *back.sheet("one");
    QJsonArray anchors;
    anchors.append(QJsonArray{1, 10});
    anchors.append(QJsonArray{51, 10});
    anchors.append(QJsonArray{101, 3});
    QCOMPARE(s1.images, anchors);
    QCOMPARE(s1.page.value("landscape").toBool(), true);
    QCOMPARE(s1.page.value("paper").toInt(), 9);
    QCOMPARE(s1.page.value("scale").toInt(), 70);
    QCOMPARE(s1.page.value("fit").toBool(), false);
    QCOMPARE(s1.page.value("rowBreaks").toArray(), QJsonArray({50, 100}));
    QCOMPARE(s1.page.value("area").toString(), QStringLiteral("$A$1:$N$150"));
    QCOMPARE(s1.page.value("titleRows").toString(), QStringLiteral("$8:$9"));

    const bookreader::Sheet &s2 = *back.sheet("none");
    QVERIFY(s2.images.isEmpty());
    QCOMPARE(s2.page.value("landscape").toBool(), false);
    QCOMPARE(s2.page.value("fit").toBool(), true);
    QCOMPARE(s2.page.value("fitWidth").toInt(), 1);
    QCOMPARE(s2.page.value("fitHeight").toInt(), 0);
    QCOMPARE(s2.page.value("area").toString(), QString());

    const bookreader::Sheet &s3 = *back.sheet("many");
    QCOMPARE(s3.images.size(), 1100);
    QCOMPARE(s3.images.last().toArray(), QJsonArray({1099 * 4, 1099 % 5}));
}

QTEST_GUILESS_MAIN(tst_XlsBookWriter)
#include "tst_xlsbookwriter.moc"
