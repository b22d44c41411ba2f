#include "bookreader.h"
#include "nexil/excel/workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <clocale>
#include <cstdio>

// The .xlsx writer read back by openpyxl, also under a comma locale.
class tst_XlsxBookWriter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void formatsMergesWidthsMarginsPicturesAndPrintSetup();
    void numbersUseAPointUnderACommaLocale();
    void commaLocaleInAWorkerThread();
    void invalidPictureIsRefused();

private:
    void buildNumberBook(Workbook &book);
    void checkNumberBook(const QString &path);
    bool useCommaLocale();

    QTemporaryDir m_dir;
    QByteArray m_png;
};

void tst_XlsxBookWriter::initTestCase()
{
    QFile logo(QStringLiteral(":/images/logo/velk.png"));
    // The library's own logo is a handy PNG.
    QVERIFY(logo.open(QIODevice::ReadOnly));
    m_png = logo.readAll();
}

void tst_XlsxBookWriter::formatsMergesWidthsMarginsPicturesAndPrintSetup()
{
    Workbook book(Workbook::Xlsx);
    CellFormat f;
    f.numberFormat = QStringLiteral("0.0000");
    f.border = CellFormat::Thin;
    const int value = book.addFormat(f);
    CellFormat h;
    h.bold = true;
    h.fillColor = ExcelColor::PaleBlue;
    const int header = book.addFormat(h);
    const int picture = book.addPicture(m_png);
    QVERIFY(picture >= 0);
    QCOMPARE(book.addPicture(m_png), picture);
    Worksheet *s = book.addSheet(QStringLiteral("Günlük"));
    s->writeNumber(10, 3, 12.3456, value);
    QVERIFY(s->mergeCells(1, 1, 1, 2, header));
    s->writeString(1, 1, QStringLiteral("Station Name"));
    s->setColumnWidth(0, 0, 6.57);
    s->setColumnWidth(3, 12, 12.43);
    s->setColumnWidth(13, 13, 1.29);
    s->setMargins(0.4, 0.4, 0.5, 0.5);
    for (int block = 0; block < 3; ++block)
        QVERIFY(s->insertPicture(block * 50 + 1, 10, picture, 1.0));
    QVERIFY(!s->insertPicture(0, 0, picture + 1));
    s->setLandscape(true);
    s->setPaperSize(9);
    s->fitToPages(1, 0);
    s->setPrintScale(64); // a fixed scale ends the fitting
    s->setRowBreaks({100, 50, 0, 150, 50});
    QVERIFY(s->setPrintArea(0, 0, 149, 13));
    QVERIFY(!s->setPrintArea(5, 0, 4, 13));
    QVERIFY(s->setRepeatRows(7, 8));
    Worksheet *fitted = book.addSheet(QStringLiteral("fitted"));
    fitted->writeNumber(0, 0, 1);
    fitted->fitToPages(1, 0);
    const QString path = m_dir.filePath(QStringLiteral("formats.xlsx"));
    QVERIFY2(book.save(path), qPrintable(book.errorString()));

    const bookreader::Book back = bookreader::read(path);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &sh = back.sheets.at(0);
    QCOMPARE(sh.name, QStringLiteral("Günlük"));
    QCOMPARE(sh.number(10, 3), 12.3456);
    QCOMPARE(sh.format(10, 3), QStringLiteral("0.0000"));
    QVERIFY(sh.bold(1, 1));
    QVERIFY(sh.filled(1, 1));
    QVERIFY(sh.isMerged(1, 1, 1, 2));
    QCOMPARE(qRound(sh.width(0) * 100), 729);
    QCOMPARE(qRound(sh.width(12) * 100), 1314);
    QCOMPARE(qRound(sh.width(13) * 100), 200);
    QCOMPARE(sh.margins, QJsonArray({0.4, 0.4, 0.5, 0.5}));
    QCOMPARE(sh.images, QJsonArray({QJsonArray{1, 10}, QJsonArray{51, 10}, QJsonArray{101, 10}}));
    QCOMPARE(sh.page.value("landscape").toBool(), true);
    QCOMPARE(sh.page.value("paper").toInt(), 9);
    QCOMPARE(sh.page.value("fit").toBool(), false);
    QCOMPARE(sh.page.value("scale").toInt(), 64);
    QCOMPARE(sh.page.value("rowBreaks").toArray(), QJsonArray({50, 100, 150}));
    QCOMPARE(sh.page.value("area").toString(), QStringLiteral("$A$1:$N$150"));
    QCOMPARE(sh.page.value("titleRows").toString(), QStringLiteral("$8:$9"));
    const bookreader::Sheet &f2 = back.sheets.at(1);
    QCOMPARE(f2.page.value("landscape").toBool(), false);
    QCOMPARE(f2.page.value("fit").toBool(), true);
    QCOMPARE(f2.page.value("fitWidth").toInt(), 1);
    QCOMPARE(f2.page.value("fitHeight").toInt(), 0);
    QCOMPARE(f2.page.value("rowBreaks").toArray(), QJsonArray());
}

bool tst_XlsxBookWriter::useCommaLocale()
{
    // Build a German locale of our own: the machine may have none installed.
    const QString dir = m_dir.filePath(QStringLiteral("locales"));
    if (!QFile::exists(dir + QStringLiteral("/de_DE.UTF-8"))) {
        QDir().mkpath(dir);
        QProcess p;
        p.start(QStringLiteral("localedef"),
                {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                 dir + QStringLiteral("/de_DE.UTF-8")});
        if (!p.waitForFinished(120000))
            return false;
    }
    qputenv("LOCPATH", QFile::encodeName(dir));
    if (!setlocale(LC_ALL, "de_DE.UTF-8"))
        return false;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    return qstrcmp(buf, "1,5") == 0;
}

void tst_XlsxBookWriter::buildNumberBook(Workbook &book)
{
    CellFormat f;
    f.numberFormat = QStringLiteral("0.0000");
    f.fontSize = 10.5;
    const int value = book.addFormat(f);
    Worksheet *s = book.addSheet(QStringLiteral("numbers"));
    s->writeNumber(0, 0, 1.5, value);
    s->writeNumber(1, 0, -1234.5678, value);
    s->writeNumber(2, 0, 0.1 + 0.2);
    s->writeNumber(3, 0, 6.02214076e23);
    s->setColumnWidth(0, 0, 12.43);
    s->setMargins(0.4, 0.4, 0.5, 0.5);
    s->insertPicture(5, 1, book.addPicture(m_png), 0.5);
}

void tst_XlsxBookWriter::checkNumberBook(const QString &path)
{
    const bookreader::Book back = bookreader::read(path);
    QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
    const bookreader::Sheet &sh = back.sheets.at(0);
    QCOMPARE(sh.number(0, 0), 1.5);
    QCOMPARE(sh.number(1, 0), -1234.5678);
    QCOMPARE(sh.number(2, 0), 0.1 + 0.2);
    QCOMPARE(sh.number(3, 0), 6.02214076e23);
    QCOMPARE(qRound(sh.width(0) * 100), 1314);
    QCOMPARE(sh.margins, QJsonArray({0.4, 0.4, 0.5, 0.5}));
    QCOMPARE(sh.images.size(), 1);
}

void tst_XlsxBookWriter::numbersUseAPointUnderACommaLocale()
{
    if (!useCommaLocale())
        QFAIL("could not switch to a comma-decimal locale (localedef from the locales package)");
    Workbook book(Workbook::Xlsx);
    buildNumberBook(book);
    const QString path = m_dir.filePath(QStringLiteral("comma.xlsx"));
    const bool saved = book.save(path);
    // The user's locale is back afterwards.
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    setlocale(LC_ALL, "C");
    QVERIFY2(saved, qPrintable(book.errorString()));
    QCOMPARE(QByteArray(buf), QByteArray("2,5"));
    checkNumberBook(path);
}

void tst_XlsxBookWriter::commaLocaleInAWorkerThread()
{
    if (!useCommaLocale())
        QFAIL("could not switch to a comma-decimal locale");
    const QString path = m_dir.filePath(QStringLiteral("thread.xlsx"));
    bool saved = false;
    QString error;
    QThread *t = QThread::create([&] {
        Workbook book(Workbook::Xlsx);
        buildNumberBook(book);
        saved = book.save(path);
        error = book.errorString();
    });
    t->start();
    QVERIFY(t->wait(120000));
    delete t;
    setlocale(LC_ALL, "C");
    QVERIFY2(saved, qPrintable(error));
    checkNumberBook(path);
}

void tst_XlsxBookWriter::invalidPictureIsRefused()
{
    Workbook book(Workbook::Xlsx);
    QCOMPARE(book.addPicture(QByteArray("not a picture at all, really not, no")), -1);
    QCOMPARE(book.addPicture(m_png.left(m_png.size() - 1)), -1); // cut off
    QCOMPARE(book.addPicture(m_png.left(40)), -1);
    QCOMPARE(book.addPicture(m_png), 0);
    Worksheet *s = book.addSheet(QStringLiteral("p"));
    QVERIFY(!s->insertPicture(0, 0, 1));
    QVERIFY(!s->insertPicture(0, 0, 0, 0.0));
    QVERIFY(s->pictures().isEmpty());
}

QTEST_GUILESS_MAIN(tst_XlsxBookWriter)
#include "tst_xlsxbookwriter.moc"
