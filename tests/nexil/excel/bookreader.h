#pragma once

// Reads workbooks back with readers that share no code with ours: Python's
// xlrd and openpyxl (tests/nexil/excel/readbook.py) and LibreOffice.

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPair>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVector>

namespace bookreader {

struct Sheet
{
    QString name;
    QHash<QPair<int, int>, QJsonObject> cells;
    QJsonArray merged;
    QJsonObject widths;
    QJsonArray margins;
    QJsonArray images;
    QJsonObject page; // print setup, .xlsx only
    int count = 0;    // every cell, also those left out by a row filter

    QJsonValue value(int r, int c) const { return cells.value({r, c}).value(QStringLiteral("v")); }
    QString text(int r, int c) const { return value(r, c).toString(); }
    double number(int r, int c) const { return value(r, c).toDouble(); }
    bool has(int r, int c) const { return cells.contains({r, c}); }
    QString format(int r, int c) const { return cells.value({r, c}).value(QStringLiteral("fmt")).toString(); }
    bool bold(int r, int c) const { return cells.value({r, c}).value(QStringLiteral("bold")).toBool(); }
    QString color(int r, int c) const
    {
        return cells.value({r, c}).value(QStringLiteral("color")).toString();
    }
    bool filled(int r, int c) const { return cells.value({r, c}).value(QStringLiteral("fill")).toBool(); }
    bool isMerged(int r1, int c1, int r2, int c2) const
    {
        for (const QJsonValue &m : merged) {
            const QJsonArray a = m.toArray();
            if (a.at(0).toInt() == r1 && a.at(1).toInt() == c1 && a.at(2).toInt() == r2 &&
                a.at(3).toInt() == c2)
                return true;
        }
        return false;
    }
    double width(int col) const { return widths.value(QString::number(col)).toDouble(-1); }
    int lastRow() const
    {
        int last = -1;
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            last = qMax(last, it.key().first);
        return last;
    }
};

struct Book
{
    QString error; // empty when the reader succeeded
    QList<Sheet> sheets;

    QStringList names() const
    {
        QStringList n;
        for (const Sheet &s : sheets)
            n << s.name;
        return n;
    }
    const Sheet *sheet(const QString &name) const
    {
        for (const Sheet &s : sheets)
            if (s.name == name)
                return &s;
        return nullptr;
    }
};

// rows: only the cells of these rows, as "first:last,first:last".
inline Book read(const QString &path, bool valuesOnly = false, const QString &rows = QString())
{
    Book book;
    QProcess p;
    QStringList args{QStringLiteral(READBOOK_PY), path};
    if (valuesOnly)
        args << QStringLiteral("--values-only");
    if (!rows.isEmpty())
        args << QStringLiteral("--rows") << rows;
    p.start(QStringLiteral("/usr/bin/python3"), args);
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        book.error = QStringLiteral("reader failed: ") + QString::fromUtf8(p.readAllStandardError());
        return book;
    }
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    for (const QJsonValue &sv : root.value(QStringLiteral("sheets")).toArray()) {
        const QJsonObject so = sv.toObject();
        Sheet s;
        s.name = so.value(QStringLiteral("name")).toString();
        s.count = so.value(QStringLiteral("count")).toInt();
        for (const QJsonValue &cv : so.value(QStringLiteral("cells")).toArray()) {
            const QJsonObject c = cv.toObject();
            s.cells.insert({c.value(QStringLiteral("r")).toInt(), c.value(QStringLiteral("c")).toInt()}, c);
        }
        s.merged = so.value(QStringLiteral("merged")).toArray();
        s.widths = so.value(QStringLiteral("widths")).toObject();
        s.margins = so.value(QStringLiteral("margins")).toArray();
        s.images = so.value(QStringLiteral("images")).toArray();
        s.page = so.value(QStringLiteral("page")).toObject();
        book.sheets.append(s);
    }
    return book;
}

inline QString libreOffice()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

// Each sheet as CSV rows of displayed texts, keyed by sheet name; empty on
// failure.
inline QHash<QString, QList<QStringList>> libreOfficeCsv(const QString &path, const QString &workDir)
{
    QHash<QString, QList<QStringList>> out;
    const QString outDir = workDir + QStringLiteral("/csv");
    QDir().mkpath(outDir);
    QProcess p;
    p.start(libreOffice(),
            {QStringLiteral("-env:UserInstallation=file://") + workDir + QStringLiteral("/lo"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"),
             QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1"),
             QStringLiteral("--outdir"), outDir, path});
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
        return out;
    const QString base = QFileInfo(path).completeBaseName() + QLatin1Char('-');
    for (const QFileInfo &f : QDir(outDir).entryInfoList({QStringLiteral("*.csv")})) {
        QFile file(f.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QList<QStringList> rows;
        for (const QByteArray &line : file.readAll().split('\n')) {
            QStringList fields;
            for (const QByteArray &field : line.split(','))
                fields << QString::fromUtf8(field).remove(QLatin1Char('"'));
            rows << fields;
        }
        out.insert(f.completeBaseName().mid(base.size()), rows);
    }
    return out;
}

// The workbook converted by LibreOffice into the format of the extension
// ("xlsx", "pdf"); empty on failure.
inline QString libreOfficeConvert(const QString &path, const QString &extension, const QString &workDir)
{
    const QString outDir = workDir + QStringLiteral("/") + extension;
    QDir().mkpath(outDir);
    QProcess p;
    p.start(libreOffice(), {QStringLiteral("-env:UserInstallation=file://") + workDir + QStringLiteral("/lo"),
                            QStringLiteral("--headless"), QStringLiteral("--convert-to"), extension,
                            QStringLiteral("--outdir"), outDir, path});
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
        return QString();
    const QString out =
        outDir + QLatin1Char('/') + QFileInfo(path).completeBaseName() + QLatin1Char('.') + extension;
    return QFileInfo::exists(out) ? out : QString();
}

// How many pictures each page of a PDF shows (pdfimages); empty on failure.
inline QVector<int> picturesPerPage(const QString &pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    if (!info.waitForFinished(60000) || info.exitCode() != 0)
        return {};
    int pages = 0;
    for (const QByteArray &line : info.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            pages = line.mid(6).trimmed().toInt();
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    if (!images.waitForFinished(60000) || images.exitCode() != 0 || pages <= 0)
        return {};
    QVector<int> count(pages, 0);
    const QList<QByteArray> lines = images.readAllStandardOutput().split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const int page = lines[i].simplified().split(' ').value(0).toInt();
        // Masks of a picture are listed as images of their own.
        if (page >= 1 && page <= pages && lines[i].simplified().split(' ').value(2) == "image")
            ++count[page - 1];
    }
    return count;
}

} // namespace bookreader
