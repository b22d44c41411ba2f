#pragma once

#include "nexil/nexil_global.h"

#include <QString>
#include <QtGlobal>

// Colours are indices into the classic 56-entry spreadsheet palette (8..63):
// the .xls format stores them as such and the .xlsx writer maps them to RGB.
namespace ExcelColor {
enum : int {
    None = -1,
    Black = 8,
    White = 9,
    Red = 10,
    Blue = 12,
    DarkBlue = 18,
    Grey25 = 22,
    Grey50 = 23,
    LightTurquoise = 41,
    LightGreen = 42,
    LightYellow = 43,
    PaleBlue = 44,
    Grey40 = 55,
};
// 0xRRGGBB of a palette index; black for indices outside the palette.
NEXIL_EXPORT quint32 rgb(int index);
} // namespace ExcelColor

struct NEXIL_EXPORT CellFormat
{
    enum HAlign { General, Left, Center, Right };
    enum VAlign { Top, VCenter, Bottom };
    enum Border { NoBorder, Thin, Medium };

    QString fontName = QStringLiteral("Arial");
    double fontSize = 10.0;
    bool bold = false;
    bool italic = false;
    int fontColor = ExcelColor::None; // automatic
    QString numberFormat;             // empty: General
    HAlign hAlign = General;
    VAlign vAlign = Bottom;
    bool wrap = false;
    Border border = NoBorder; // the same on all four sides
    int borderColor = ExcelColor::Black;
    int fillColor = ExcelColor::None; // solid fill when set

    bool operator==(const CellFormat &o) const;
    bool operator!=(const CellFormat &o) const { return !(*this == o); }
    // Fonts are shared between formats that differ only in the rest.
    bool sameFont(const CellFormat &o) const;
};
