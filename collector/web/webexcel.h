#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A workbook of a range of a station's data files, made by the converter
// the collector uses for its own files: the range's lines are written to a
// data file of their own in a temporary folder and converted there.
namespace WebExcel {

// from and to are "yyyy-MM-ddTHH:mm" (inclusive); no channels: all.
bool build(const QStringList &files, const QString &from, const QString &to, const QList<int> &channels,
           QByteArray *book, QString *error);

} // namespace WebExcel
