#pragma once

#include "nexil/nexil_global.h"

#include <QObject>
#include <QString>

class QDomDocument;
class QIODevice;

// Turns an XML data file into a workbook beside it with a daily, a monthly
// and an annual report sheet and, on request, one pivot sheet per channel.
class NEXIL_EXPORT ExcelConverter : public QObject
{
    Q_OBJECT
public:
    enum ExcelType : int { Xls = 1, Xlsx = 2 };
    Q_ENUM(ExcelType)

    explicit ExcelConverter(QObject *parent = nullptr);
    ~ExcelConverter() override;

    // Reads the data file at the path and writes "<folder>/<base name>.xls"
    // or ".xlsx"; the flag adds the pivot sheets.
    bool convert(const QString &path, ExcelType type, bool pivot = false);
    // Converts a parsed data file; the output goes beside the file given to
    // the first form.
    bool convert(const QDomDocument &document, ExcelType type, bool pivot = false);

    QString outputPath() const { return m_outputPath; }
    QString lastError() const { return m_lastError; }
    // Why the book could not be saved, behind "File write error!".
    QString errorDetail() const { return m_errorDetail; }

signals:
    void error(QString errorString);
    void message(QString text);

private:
    // Reads the data file from the device and writes every sheet.
    bool run(QIODevice *source, ExcelType type, bool pivot);
    void step(const QString &text);
    void fail(const QString &text);

    QString m_folder, m_baseName, m_outputPath;
    bool m_haveSource = false;
    QString m_lastError, m_errorDetail;
};
