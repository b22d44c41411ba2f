#pragma once

#include <QByteArray>
#include <QString>

class Workbook;

// Writes a checked Workbook as a BIFF8 .xls file (a "Workbook" stream in a
// compound file), its PNG pictures through the format's drawing layer.
class XlsBookWriter
{
public:
    static bool write(const Workbook &book, QByteArray *file, QString *error);
};
