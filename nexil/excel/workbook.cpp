#include "nexil/excel/workbook.h"

#include "nexil/excel/xlsbookwriter.h"
#include "nexil/excel/xlsxbookwriter.h"

#include <QFileInfo>
#include <QSaveFile>

Workbook::Workbook(Type type) : m_type(type) {}

Workbook::~Workbook() = default;

Worksheet *Workbook::addSheet(const QString &name)
{
    return insertSheet(sheetCount(), name);
}

Worksheet *Workbook::insertSheet(int index, const QString &name)
{
    if (index < 0 || index > sheetCount())
        return nullptr;
    std::unique_ptr<Worksheet> sheet(new Worksheet(this, name));
    Worksheet *raw = sheet.get();
    m_sheets.insert(m_sheets.begin() + index, std::move(sheet));
    return raw;
}

Worksheet *Workbook::sheet(int index) const
{
    return index >= 0 && index < sheetCount() ? m_sheets[size_t(index)].get() : nullptr;
}

int Workbook::indexOf(const Worksheet *sheet) const
{
    for (int i = 0; i < sheetCount(); ++i)
        if (m_sheets[size_t(i)].get() == sheet)
            return i;
    return -1;
}

int Workbook::addFormat(const CellFormat &format)
{
    const int found = m_formats.indexOf(format);
    if (found >= 0)
        return found;
    m_formats.append(format);
    return m_formats.size() - 1;
}

int Workbook::addPicture(const QByteArray &png)
{
    // A PNG that starts with its header chunk and ends with IEND; a cut-off
    // file would make the writers produce a workbook readers call corrupt.
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    static const char iend[] = "\0\0\0\0IEND\xae\x42\x60\x82";
    if (png.size() < 8 + 25 + 12 || !png.startsWith(QByteArray::fromRawData(signature, 8)) ||
        png.mid(8, 8) != QByteArray::fromRawData("\0\0\0\x0dIHDR", 8) ||
        !png.endsWith(QByteArray::fromRawData(iend, 12)))
        return -1;
    const int found = m_pictures.indexOf(png);
    if (found >= 0)
        return found;
    m_pictures.append(png);
    return m_pictures.size() - 1;
}

int Workbook::internString(const QString &text)
{
    const auto it = m_stringIndex.constFind(text);
    if (it != m_stringIndex.constEnd())
        return *it;
    const int index = m_strings.size();
    m_strings.append(text);
    m_stringIndex.insert(text, index);
    return index;
}

QString Workbook::sheetNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a sheet name is empty");
    if (name.size() > MaxSheetNameLength)
        return QStringLiteral("sheet name \"%1\" is longer than 31 characters").arg(name);
    for (QChar c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            return QStringLiteral("sheet name \"%1\" contains one of []:*?/\\").arg(name);
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return QStringLiteral("sheet name \"%1\" begins or ends with an apostrophe").arg(name);
    return QString();
}

bool Workbook::nameTaken(const QString &name, const Worksheet *except) const
{
    for (const auto &s : m_sheets)
        if (s.get() != except && s->name().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString Workbook::uniqueSheetName(const QString &stem, const QString &suffix) const
{
    auto clean = [](QString s) {
        for (QChar &c : s)
            if (QStringLiteral("[]:*?/\\").contains(c) || c.category() == QChar::Other_Control)
                c = QLatin1Char('_');
        while (s.startsWith(QLatin1Char('\'')))
            s.remove(0, 1);
        while (s.endsWith(QLatin1Char('\'')))
            s.chop(1);
        return s;
    };
    // Leave room for the stem and a " (n)" tag.
    const QString tail = clean(suffix).left(MaxSheetNameLength - 11);
    QString base = clean(stem);
    if (base.isEmpty() && tail.isEmpty())
        base = QStringLiteral("Sheet");
    for (int n = 1;; ++n) {
        const QString tag = n == 1 ? QString() : QStringLiteral(" (%1)").arg(n);
        QString head = base.left(qMax(0, MaxSheetNameLength - int(tail.size()) - int(tag.size())));
        // Never leave half of a surrogate pair at the cut.
        if (!head.isEmpty() && QChar(head.back()).isHighSurrogate())
            head.chop(1);
        const QString name = clean(head + tag + tail);
        if (!name.isEmpty() && sheetNameProblem(name).isEmpty() && !nameTaken(name, nullptr))
            return name;
    }
}

bool Workbook::check()
{
    if (m_sheets.empty()) {
        m_error = QStringLiteral("the workbook has no sheet");
        return false;
    }
    for (const auto &s : m_sheets) {
        const QString problem = sheetNameProblem(s->name());
        if (!problem.isEmpty()) {
            m_error = problem;
            return false;
        }
        if (nameTaken(s->name(), s.get())) {
            m_error = QStringLiteral("two sheets are named \"%1\"").arg(s->name());
            return false;
        }
        if (s->rejectedWrites() > 0) {
            m_error = QStringLiteral("sheet \"%1\": %2 cells lie outside the sheet or hold too long a text")
                          .arg(s->name())
                          .arg(s->rejectedWrites());
            return false;
        }
        s->finish();
        const QString format = m_type == Xls ? QStringLiteral(".xls") : QStringLiteral(".xlsx");
        if (s->lastRow() >= maxRows()) {
            m_error = QStringLiteral("sheet \"%1\" needs %2 rows; the %3 format holds %4")
                          .arg(s->name())
                          .arg(s->lastRow() + 1)
                          .arg(format)
                          .arg(maxRows());
            return false;
        }
        if (s->lastColumn() >= maxColumns()) {
            m_error = QStringLiteral("sheet \"%1\" needs %2 columns; the %3 format holds %4")
                          .arg(s->name())
                          .arg(s->lastColumn() + 1)
                          .arg(format)
                          .arg(maxColumns());
            return false;
        }
    }
    return true;
}

bool Workbook::save(const QString &path)
{
    m_error.clear();
    if (path.isEmpty()) {
        m_error = QStringLiteral("no output path");
        return false;
    }
    if (!check())
        return false;
    if (m_type == Xlsx)
        return XlsxBookWriter::write(*this, path, &m_error);

    QByteArray bytes;
    if (!XlsBookWriter::write(*this, &bytes, &m_error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
