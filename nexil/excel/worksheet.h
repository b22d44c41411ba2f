#pragma once

#include "nexil/nexil_global.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <map>
#include <vector>

class Workbook;

// One sheet of a Workbook. Cells may be written in any order; the sheet
// sorts them once, when the book is saved.
class NEXIL_EXPORT Worksheet
{
public:
    enum CellKind : quint8 { Blank, Number, String };
    struct Cell
    {
        quint32 row;
        quint16 col;
        CellKind kind;
        bool keepFormat; // written without a format: keeps the one already there
        qint32 format;   // index into the book's formats, -1 for the default
        union {
            double number;
            quint32 string; // index into the book's strings
        };
    };
    struct Range
    {
        int firstRow, firstCol, lastRow, lastCol;
    };
    struct Picture
    {
        int row, col, id;
        double scale;
    };
    struct Margins
    {
        double left = 0.75, right = 0.75, top = 1.0, bottom = 1.0; // inches
    };
    struct PageSetup
    {
        bool landscape = false;
        int paperSize = 0; // 0 the printer's own, 9 A4
        // Scaled to fit this many pages across and down (0: as many as it
        // takes); off unless fitToPages() was called.
        bool fit = false;
        int fitWidth = 1, fitHeight = 1;
        int scale = 100;                             // percent, when not fitted
        QVector<int> rowBreaks;                      // rows that start a new page, ascending, once each
        Range printArea{-1, -1, -1, -1};             // firstRow < 0: no print area
        int repeatFirstRow = -1, repeatLastRow = -1; // printed atop every page
    };

    Worksheet(const Worksheet &) = delete;
    Worksheet &operator=(const Worksheet &) = delete;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // A format of -1 keeps the cell's earlier format (none for a new cell).
    // False for a cell outside the largest grid or an over-long text; the
    // book then refuses to save rather than write the sheet without it.
    bool writeNumber(int row, int col, double value, int format = -1);
    bool writeString(int row, int col, const QString &text, int format = -1);
    // Formats an empty cell, or changes the format of a written one.
    bool setCellFormat(int row, int col, int format);
    // Formats every cell of the range; false when it overlaps an earlier one.
    bool mergeCells(int firstRow, int firstCol, int lastRow, int lastCol, int format = -1);
    void setColumnWidth(int firstCol, int lastCol, double width);
    void setMargins(double left, double right, double top, double bottom);
    bool insertPicture(int row, int col, int pictureId, double scale = 1.0);
    void setLandscape(bool landscape) { m_page.landscape = landscape; }
    void setPaperSize(int paper) { m_page.paperSize = paper; }
    void fitToPages(int wide, int tall);
    // A fixed scale; fitting to pages, which would override the breaks, ends.
    void setPrintScale(int percent);
    void setRowBreaks(const QVector<int> &rows);
    bool setPrintArea(int firstRow, int firstCol, int lastRow, int lastCol);
    bool setRepeatRows(int firstRow, int lastRow);

    // Sorted by row then column, one entry per cell; valid after finish().
    const std::vector<Cell> &cells() const { return m_cells; }
    const QVector<Range> &merges() const { return m_merges; }
    const std::map<int, double> &columnWidths() const { return m_widths; }
    const Margins &margins() const { return m_margins; }
    const QVector<Picture> &pictures() const { return m_pictures; }
    const PageSetup &pageSetup() const { return m_page; }
    int rejectedWrites() const { return m_rejected; }
    int lastRow() const;    // -1 for an empty sheet
    int lastColumn() const; // -1 for an empty sheet

    void finish();

private:
    friend class Workbook;
    Worksheet(Workbook *book, const QString &name);
    bool place(int row, int col, Cell cell);

    Workbook *m_book;
    QString m_name;
    std::vector<Cell> m_cells;
    bool m_sorted = true;
    QVector<Range> m_merges;
    QHash<int, QVector<int>> m_mergesByRow;
    std::map<int, double> m_widths;
    Margins m_margins;
    QVector<Picture> m_pictures;
    PageSetup m_page;
    int m_rejected = 0;
};
