#pragma once

#include "nexil/nexil_global.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;

// A station's measured values in the exchange formats of hydrological
// databases (WaterML 2.0, ZRXP) and as a spreadsheet table (CSV).
//
// The data files are streamed; only a compact record per instant value is
// kept (24 bytes), because the per-channel formats need the values grouped
// by channel while the files interleave them. Daily summaries are left out:
// they are derived figures, not observations. A value saved twice (the same
// download appended again) is written once; where two files disagree, the
// newer file's value is written and a warning names the time.
//
// Files are taken in the order of the dates in their names, and channels
// are followed across them by their code, name and unit (ChannelMap): the
// channel numbers written and selected are those.
class NEXIL_EXPORT SeriesExporter
{
public:
    enum class Format { WaterML2, Zrxp, Csv };
    enum class Locale { C, Turkish, German };
    // ZRXP's character set: ISO-8859-1 is what its readers take unless told.
    enum class Encoding { Latin1, Utf8 };

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
    // "iso-8859-1" (also "latin1"), "utf-8" (also "utf8").
    static bool parseEncoding(const QString &text, Encoding *encoding);
    // The UCUM code of a unit text, empty when it has none.
    static QString ucumCode(const QString &unit);
    // False, with *error, when `path` exists and is not a regular file (a
    // device, a pipe, a folder): an export replaces its target by renaming
    // a new file over it, which must never happen to those.
    static bool isReplaceable(const QString &path, QString *error);

    void setFormat(Format format) { m_format = format; }
    void setLocale(Locale locale) { m_locale = locale; }
    void setEncoding(Encoding encoding) { m_encoding = encoding; }
    // The station's offset: the files hold its wall-clock times.
    void setUtcOffset(int minutes) { m_offset = minutes; }
    // Wall-clock times as in the files; either end may be invalid (open); `to`
    // is inclusive.
    void setRange(const QDateTime &from, const QDateTime &to);
    // Channel numbers (ChannelMap) to write; empty: all.
    void setChannels(const QVector<int> &channels) { m_wanted = channels; }

    // A value's quality flag (1 pass, 2 not evaluated, 3 suspect, 4 fail,
    // 9 missing) by the data file's name, the value's position in that
    // file's channel list and its minute (Julian day × 1440 + minute of the
    // day, the file's wall clock). The data files carry no flags; whoever
    // holds them (a station store) gives them here.
    using FlagSource = std::function<int(const QString &fileName, int channel, qint64 minute)>;
    // With a source every format carries the flags: WaterML as each point's
    // quality, ZRXP as a status column, CSV as a flag column per channel.
    // Without one (the default) nothing of them is written.
    void setFlags(FlagSource flags) { m_flags = std::move(flags); }
    // The WaterML 2.0 quality term of a flag: good, suspect, poor, missing,
    // unchecked.
    static QByteArray qualityOf(int flag);

    // False, with errorText(), when a file cannot be read or is not a
    // well-formed data file (nothing written then), or the device refuses
    // the bytes.
    bool run(const QStringList &paths, QIODevice *out);
    QString errorText() const { return m_error; }
    // Values written by the last run, sensor errors included.
    qint64 valueCount() const { return m_count; }
    // Values two files hold differently at one time, as texts naming the
    // channel and the time; at most kMaxWarnings, then warningCount() tells.
    QStringList warnings() const { return m_warnings; }
    qint64 warningCount() const { return m_warningCount; }
    static constexpr int kMaxWarnings = 100;

private:
    Format m_format = Format::Csv;
    Locale m_locale = Locale::C;
    Encoding m_encoding = Encoding::Latin1;
    int m_offset = 180;
    qint64 m_from = 0, m_to = 0; // minutes; 0: open
    QVector<int> m_wanted;
    FlagSource m_flags;
    QString m_error;
    qint64 m_count = 0;
    QStringList m_warnings;
    qint64 m_warningCount = 0;
};
