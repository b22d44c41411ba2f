#pragma once

#include "nexil/nexil_global.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class QDomDocument;
class QDomElement;
class QXmlStreamReader;
class Workbook;
class Worksheet;

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
    enum LineType : quint8 { Ins, Max, Min, Avg, Tot, Other };
    enum SheetKind { Daily, Monthly, Annual };
    struct Line
    {
        qint32 channel;
        LineType type;
        qint32 date;      // index into m_texts
        qint32 time;      // index into m_texts
        qint32 valueText; // -1 when the value is a number
        double value;
    };
    struct Channel
    {
        int id;
        QString name, unit;
    };
    struct Page
    {
        Worksheet *sheet = nullptr;
        SheetKind kind = Daily;
        QString name;
        int blocks = 0;
    };
    struct Stat
    {
        double max = 0, min = 0, sum = 0;
        int count = 0;
        QString maxDate, minDate;
        void add(double v, const QString &date);
    };

    bool run(ExcelType type, bool pivot);
    bool readStream(QXmlStreamReader &xml);
    void readDocument(const QDomDocument &document);
    void addLine(const QString &channel, const QString &type, const QString &date, const QString &time,
                 const QString &value);
    int text(const QString &s);
    void step(const QString &text);
    void fail(const QString &text);

    void createFormats();
    Worksheet *createDataSheet(const QString &name, int at = -1);
    Worksheet *createDailyPage();
    Worksheet *createMonthlyPage();
    Worksheet *createAnnualPage();
    int createTable(Page &page);
    int createDailyTable() { return createTable(m_daily); }
    int createMonthlyTable() { return createTable(m_monthly); }
    int createAnnualTable() { return createTable(m_annual); }
    void writeDailyData();
    void writeMonthlyData();
    void writeAnnualData();
    void writePivotTable(int channel);
    void writeValue(Worksheet *sheet, int row, int col, const Line &line);
    void writeSummary(Worksheet *sheet, int firstRow, const QMap<int, Stat> &stats);

    static QString getValueFromXml(const QDomElement &parent, const QString &tag);
    static QString getTextFromXmlItem(const QDomElement &item);
    static QString getAttributeValueFromXmlItem(const QDomElement &item, const QString &name);
    int findRow(const QString &label) const;
    int findCol(const QString &label) const;
    static bool lessThan(const QString &a, const QString &b);

    QString m_sourcePath, m_folder, m_baseName, m_outputPath;
    QString m_lastError, m_errorDetail;

    QString m_stationName, m_stationCode, m_setupTimestamp;
    int m_channelCount = 0;
    QVector<Channel> m_channels;
    QVector<Line> m_lines;
    QStringList m_texts;
    QHash<QString, int> m_textIndex;

    std::unique_ptr<Workbook> m_book;
    Page m_daily, m_monthly, m_annual;
    int m_logo = -1;
    int m_fTitleLabel = -1, m_fTitleValue = -1, m_fHeader = -1, m_fDate = -1, m_fValue = -1;
    int m_fSumLabel = -1, m_fSumDate = -1, m_fSumValue = -1;
    QHash<QString, int> m_pivotRows, m_pivotCols;
};
