#pragma once

#include "nexil/nexil_global.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// A station's measured values in the exchange formats of hydrological
// databases (WaterML 2.0, ZRXP) and as a spreadsheet table (CSV).
//
// The data files are streamed; only a compact record per instant value is
// kept (16 bytes), because the per-channel formats need the values grouped
// by channel while the files interleave them. Daily summaries are left out:
// they are derived figures, not observations. A value saved twice (the same
// download appended again) is written once.
class NEXIL_EXPORT SeriesExporter
{
public:
    enum class Format { WaterML2, Zrxp, Csv };
    enum class Locale { C, Turkish, German };

    // "waterml2", "zrxp", "csv"; false for anything else.
    static bool parseFormat(const QString &text, Format *format);
    static QString formatName(Format format);
    // The file name ending written for a format.
    static QString suffix(Format format);
    // "C", "tr", "de" (also "tr_TR", "de_DE").
    static bool parseLocale(const QString &text, Locale *locale);
    // "+03:00", "-05:30", "Z"; minutes east of UTC, at most 14 hours.
    static bool parseUtcOffset(const QString &text, int *minutes);
    static QString utcOffsetText(int minutes);

    void setFormat(Format format) { m_format = format; }
    void setLocale(Locale locale) { m_locale = locale; }
    // The station's offset: the files hold its wall-clock times.
    void setUtcOffset(int minutes) { m_offset = minutes; }
    // Wall-clock times as in the files; either end may be invalid (open); `to`
    // is inclusive.
    void setRange(const QDateTime &from, const QDateTime &to);
    // Channel ids to write; empty: all.
    void setChannels(const QVector<int> &channels) { m_wanted = channels; }

    // False, with errorText(), when a file cannot be read or is not a
    // well-formed data file (nothing written then), or the device refuses
    // the bytes.
    bool run(const QStringList &paths, QIODevice *out);
    QString errorText() const { return m_error; }
    // Values written by the last run, sensor errors included.
    qint64 valueCount() const { return m_count; }

private:
    Format m_format = Format::Csv;
    Locale m_locale = Locale::C;
    int m_offset = 180;
    qint64 m_from = 0, m_to = 0; // minutes; 0: open
    QVector<int> m_wanted;
    QString m_error;
    qint64 m_count = 0;
};
