#pragma once

#include <QString>

class Workbook;

// Writes a checked Workbook as .xlsx through libxlsxwriter.
class XlsxBookWriter
{
public:
    static bool write(const Workbook &book, const QString &path, QString *error);
};
