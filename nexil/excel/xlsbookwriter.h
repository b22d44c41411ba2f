#pragma once

#include <QByteArray>
#include <QString>

class Workbook;

// Writes a checked Workbook as a BIFF8 .xls file (a "Workbook" stream in a
// compound file). Pictures are not written: the format's drawing layer is
// left out, so an .xls workbook has no logo.
class XlsBookWriter
{
public:
    static bool write(const Workbook &book, QByteArray *file, QString *error);
};
