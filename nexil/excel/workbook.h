#pragma once

#include "nexil/excel/cellformat.h"
#include "nexil/excel/worksheet.h"
#include "nexil/nexil_global.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

// An in-memory workbook. Nothing touches the disk before save(), which hands
// the whole book to the writer of its type, so sheet names are final only
// then and the writers see sorted cells.
class NEXIL_EXPORT Workbook
{
public:
    enum Type { Xls, Xlsx };
    enum : int {
        GridRows = 1048576,
        GridColumns = 16384,
        MaxTextLength = 32767,
        MaxSheetNameLength = 31,
    };

    explicit Workbook(Type type);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    Type type() const { return m_type; }
    int maxRows() const { return m_type == Xls ? 65536 : GridRows; }
    int maxColumns() const { return m_type == Xls ? 256 : GridColumns; }

    Worksheet *addSheet(const QString &name);
    Worksheet *insertSheet(int index, const QString &name);
    int sheetCount() const { return int(m_sheets.size()); }
    Worksheet *sheet(int index) const;
    int indexOf(const Worksheet *sheet) const;

    int addFormat(const CellFormat &format); // equal formats share an index
    int formatCount() const { return m_formats.size(); }
    const CellFormat &format(int index) const { return m_formats.at(index); }

    int addPicture(const QByteArray &png); // -1 when it is not a PNG image
    int pictureCount() const { return m_pictures.size(); }
    const QByteArray &picture(int index) const { return m_pictures.at(index); }

    int internString(const QString &text);
    int stringCount() const { return m_strings.size(); }
    const QString &string(int index) const { return m_strings.at(index); }

    // Empty when the name can be given to a sheet, else the reason.
    static QString sheetNameProblem(const QString &name);
    // A valid name not used by another sheet: forbidden characters become
    // '_', the stem is shortened so that the suffix fits, and " (2)", " (3)"
    // ... go before the suffix until the name is unique.
    QString uniqueSheetName(const QString &stem, const QString &suffix = QString()) const;

    // Writes to a temporary file beside the path and renames it over the
    // path, so an earlier workbook survives any failure.
    bool save(const QString &path);
    QString errorString() const { return m_error; }

private:
    bool check();
    bool nameTaken(const QString &name, const Worksheet *except) const;

    Type m_type;
    std::vector<std::unique_ptr<Worksheet>> m_sheets;
    QVector<CellFormat> m_formats;
    QVector<QByteArray> m_pictures;
    QVector<QString> m_strings;
    QHash<QString, int> m_stringIndex;
    QString m_error;
};
