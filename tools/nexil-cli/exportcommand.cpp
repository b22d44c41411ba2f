#include "exportcommand.h"

#include "storejoin.h"

#include "nexil/files/gapjson.h"
#include "nexil/files/seriesexporter.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

const char *const kUsage = "usage: nexil-cli export FILE.xml [FILE.xml ...] --format waterml2|zrxp|csv "
                           "[--from DATE] [--to DATE] [--channels 0,2] [--utc-offset +03:00] "
                           "[--locale C|tr|de] [--zrxp-encoding iso-8859-1|utf-8] [--out PATH]\n";

int usage(const char *why)
{
    std::fprintf(stderr, "%s\n%s", why, kUsage);
    return 2;
}

} // namespace

int exportCommand(const QCommandLineParser &parser)
{
    QStringList files = parser.positionalArguments();
    files.removeFirst();
    if (files.isEmpty())
        return usage("no data file given");
    SeriesExporter exporter;
    SeriesExporter::Format format;
    if (!SeriesExporter::parseFormat(parser.value("format"), &format))
        return usage("--format takes waterml2, zrxp or csv");
    exporter.setFormat(format);

    QDateTime from, to;
    if (parser.isSet("from") && !GapJson::parseDate(parser.value("from"), false, &from))
        return usage("--from takes yyyy-MM-dd or yyyy-MM-ddTHH:mm");
    if (parser.isSet("to") && !GapJson::parseDate(parser.value("to"), true, &to))
        return usage("--to takes yyyy-MM-dd or yyyy-MM-ddTHH:mm");
    if (from.isValid() && to.isValid() && from > to)
        return usage("--from is after --to");
    exporter.setRange(from, to);

    if (parser.isSet("channels")) {
        QVector<int> channels;
        for (const QString &part : parser.value("channels").split(QLatin1Char(','))) {
            bool ok = false;
            const int c = part.trimmed().toInt(&ok);
            if (!ok || c < 0 || c > 255)
                return usage("--channels takes channel numbers such as 0,2");
            if (!channels.contains(c))
                channels.append(c);
        }
        exporter.setChannels(channels);
    }
    int offset = 180;
    if (parser.isSet("utc-offset") && !SeriesExporter::parseUtcOffset(parser.value("utc-offset"), &offset))
        return usage("--utc-offset takes +hh:mm or -hh:mm");
    exporter.setUtcOffset(offset);
    SeriesExporter::Locale locale = SeriesExporter::Locale::C;
    if (parser.isSet("locale") && !SeriesExporter::parseLocale(parser.value("locale"), &locale))
        return usage("--locale takes C, tr or de");
    exporter.setLocale(locale);
    SeriesExporter::Encoding encoding = SeriesExporter::Encoding::Latin1;
    if (parser.isSet("zrxp-encoding") &&
        !SeriesExporter::parseEncoding(parser.value("zrxp-encoding"), &encoding))
        return usage("--zrxp-encoding takes iso-8859-1 or utf-8");
    exporter.setEncoding(encoding);

    QTemporaryDir joined;
    {
        QString problem;
        // With the store the exports carry its flags; the files alone have none.
        ValueFlags::Source flags;
        if (!joinWithStore(parser, files, joined.path(), &files, &problem, &flags, from, to)) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
        if (flags)
            exporter.setFlags(std::move(flags));
    }

    const auto warn = [&exporter]() {
        for (const QString &w : exporter.warnings())
            std::fprintf(stderr, "warning: %s\n", qPrintable(w));
        if (exporter.warningCount() > exporter.warnings().size())
            std::fprintf(stderr, "warning: %lld more times with differing values\n",
                         exporter.warningCount() - exporter.warnings().size());
    };

    if (parser.isSet("out")) {
        // The file is replaced by renaming a new one over it: never a device,
        // a pipe or a folder, whoever runs this.
        QString problem;
        if (!SeriesExporter::isReplaceable(parser.value("out"), &problem)) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
        // Readers of the folder never see half a file.
        QSaveFile out(parser.value("out"));
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(out.fileName()), qPrintable(out.errorString()));
            return 1;
        }
        if (!exporter.run(files, &out)) {
            std::fprintf(stderr, "%s\n", qPrintable(exporter.errorText()));
            return 1; // the QSaveFile is discarded
        }
        warn();
        if (!out.commit()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(out.fileName()), qPrintable(out.errorString()));
            return 1;
        }
        return 0;
    }
    // Unbuffered on the descriptor: every write is the system's, so a full
    // disk or a closed pipe fails the run however small the output.
    std::fflush(stdout);
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        std::fprintf(stderr, "standard output: %s\n", qPrintable(out.errorString()));
        return 1;
    }
    if (!exporter.run(files, &out)) {
        std::fprintf(stderr, "%s\n", qPrintable(exporter.errorText()));
        return 1;
    }
    warn();
    return 0;
}
