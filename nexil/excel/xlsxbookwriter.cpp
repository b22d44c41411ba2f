#include "nexil/excel/xlsxbookwriter.h"

#include "nexil/excel/workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QVector>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <vector>
#include <xlsxwriter.h>

namespace {

// libxlsxwriter prints numbers with the C library, which follows the
// thread's LC_NUMERIC; a Qt program runs under the user's locale, where a
// comma may be the decimal separator. Switch this thread to "C" meanwhile.
class CNumericLocale
{
public:
    CNumericLocale()
    {
        m_c = newlocale(LC_NUMERIC_MASK, "C", duplocale(LC_GLOBAL_LOCALE));
        if (m_c)
            m_previous = uselocale(m_c);
    }
    ~CNumericLocale()
    {
        if (m_c) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CNumericLocale(const CNumericLocale &) = delete;
    CNumericLocale &operator=(const CNumericLocale &) = delete;

private:
    locale_t m_c = nullptr;
    locale_t m_previous = nullptr;
};

lxw_format *makeFormat(lxw_workbook *wb, const CellFormat &f)
{
    lxw_format *x = workbook_add_format(wb);
    const QByteArray font = f.fontName.toUtf8();
    format_set_font_name(x, font.constData());
    format_set_font_size(x, f.fontSize);
    if (f.bold)
        format_set_bold(x);
    if (f.italic)
        format_set_italic(x);
    if (f.fontColor != ExcelColor::None)
        format_set_font_color(x, ExcelColor::rgb(f.fontColor));
    if (!f.numberFormat.isEmpty()) {
        const QByteArray num = f.numberFormat.toUtf8();
        format_set_num_format(x, num.constData());
    }
    switch (f.hAlign) {
    case CellFormat::Left:
        format_set_align(x, LXW_ALIGN_LEFT);
        break;
    case CellFormat::Center:
        format_set_align(x, LXW_ALIGN_CENTER);
        break;
    case CellFormat::Right:
        format_set_align(x, LXW_ALIGN_RIGHT);
        break;
    case CellFormat::General:
        break;
    }
    if (f.vAlign == CellFormat::Top)
        format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
    else if (f.vAlign == CellFormat::VCenter)
        format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
    if (f.wrap)
        format_set_text_wrap(x);
    if (f.border != CellFormat::NoBorder) {
        format_set_border(x, f.border == CellFormat::Thin ? LXW_BORDER_THIN : LXW_BORDER_MEDIUM);
        format_set_border_color(x, ExcelColor::rgb(f.borderColor));
    }
    if (f.fillColor != ExcelColor::None) {
        format_set_pattern(x, LXW_PATTERN_SOLID);
        format_set_bg_color(x, ExcelColor::rgb(f.fillColor));
    }
    return x;
}

QString describe(lxw_error e)
{
    return QString::fromUtf8(lxw_strerror(e));
}

bool fill(lxw_workbook *wb, const Workbook &book, QString *error)
{
    QVector<lxw_format *> formats;
    formats.reserve(book.formatCount());
    for (int i = 0; i < book.formatCount(); ++i)
        formats.append(makeFormat(wb, book.format(i)));
    auto fmt = [&](qint32 index) { return index >= 0 ? formats.at(index) : nullptr; };

    QVector<QByteArray> utf8(book.stringCount());
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Worksheet *s = book.sheet(i);
        const QByteArray name = s->name().toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(wb, name.constData());
        if (!ws) {
            *error = QStringLiteral("sheet \"%1\" could not be created").arg(s->name());
            return false;
        }
        lxw_error e = LXW_NO_ERROR;
        const auto &widths = s->columnWidths();
        for (auto it = widths.begin(); it != widths.end() && !e; ++it)
            e = worksheet_set_column(ws, lxw_col_t(it->first), lxw_col_t(it->first), it->second, nullptr);
        const Worksheet::Margins m = s->margins();
        worksheet_set_margins(ws, m.left, m.right, m.top, m.bottom);
        const Worksheet::PageSetup &page = s->pageSetup();
        if (page.landscape)
            worksheet_set_landscape(ws);
        if (page.paperSize > 0)
            worksheet_set_paper(ws, uint8_t(page.paperSize));
        if (page.fit)
            worksheet_fit_to_pages(ws, uint16_t(page.fitWidth), uint16_t(page.fitHeight));
        else if (page.scale != 100)
            worksheet_set_print_scale(ws, uint16_t(page.scale));
        if (!page.rowBreaks.isEmpty() && !e) {
            std::vector<lxw_row_t> breaks;
            for (int r : page.rowBreaks)
                if (breaks.size() < LXW_BREAKS_MAX)
                    breaks.push_back(lxw_row_t(r));
            breaks.push_back(0);
            e = worksheet_set_h_pagebreaks(ws, breaks.data());
        }
        const Worksheet::Range &area = page.printArea;
        if (area.firstRow >= 0 && !e)
            e = worksheet_print_area(ws, lxw_row_t(area.firstRow), lxw_col_t(area.firstCol),
                                     lxw_row_t(area.lastRow), lxw_col_t(area.lastCol));
        if (page.repeatFirstRow >= 0 && !e)
            e = worksheet_repeat_rows(ws, lxw_row_t(page.repeatFirstRow), lxw_row_t(page.repeatLastRow));
        // Ranges first: merging writes its own first cell, which the cell
        // loop below then replaces.
        for (const Worksheet::Range &r : s->merges()) {
            if (e)
                break;
            e = worksheet_merge_range(ws, lxw_row_t(r.firstRow), lxw_col_t(r.firstCol), lxw_row_t(r.lastRow),
                                      lxw_col_t(r.lastCol), "", nullptr);
        }
        for (const Worksheet::Cell &c : s->cells()) {
            if (e)
                break;
            switch (c.kind) {
            case Worksheet::Number:
                e = worksheet_write_number(ws, c.row, c.col, c.number, fmt(c.format));
                break;
            case Worksheet::String: {
                QByteArray &text = utf8[int(c.string)];
                if (text.isNull())
                    text = book.string(int(c.string)).toUtf8();
                e = worksheet_write_string(ws, c.row, c.col, text.constData(), fmt(c.format));
                break;
            }
            case Worksheet::Blank:
                e = worksheet_write_blank(ws, c.row, c.col, fmt(c.format));
                break;
            }
        }
        for (const Worksheet::Picture &p : s->pictures()) {
            if (e)
                break;
            const QByteArray &png = book.picture(p.id);
            lxw_image_options opt{};
            opt.x_scale = p.scale;
            opt.y_scale = p.scale;
            e = worksheet_insert_image_buffer_opt(ws, lxw_row_t(p.row), lxw_col_t(p.col),
                                                  reinterpret_cast<const unsigned char *>(png.constData()),
                                                  size_t(png.size()), &opt);
        }
        if (e) {
            *error = QStringLiteral("sheet \"%1\": %2").arg(s->name(), describe(e));
            return false;
        }
    }
    return true;
}

} // namespace

bool XlsxBookWriter::write(const Workbook &book, const QString &path, QString *error)
{
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        *error = QStringLiteral("%1: %2").arg(path, temp.errorString());
        return false;
    }
    temp.close();
    const QByteArray tempName = QFile::encodeName(temp.fileName());

    CNumericLocale cLocale;
    lxw_workbook *wb = workbook_new(tempName.constData());
    if (!wb) {
        *error = QStringLiteral("%1: the workbook could not be created").arg(path);
        return false;
    }
    if (!fill(wb, book, error)) {
        workbook_close(wb);
        return false;
    }
    const lxw_error e = workbook_close(wb);
    if (e) {
        *error = QStringLiteral("%1: %2").arg(path, describe(e));
        return false;
    }
    // Keep the permissions of the workbook being replaced, or give a new one
    // the usual ones instead of the temporary file's private mode.
    if (target.exists()) {
        QFile::setPermissions(temp.fileName(), QFile::permissions(path));
    } else {
        QFile::setPermissions(temp.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                   QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    }
    if (std::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}
