// nexil-cli: scriptable access to one logger over TCP or a serial line.

#include "commands.h"
#include "nexil/logging.h"
#include "nexil/protocol/timezone.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char *const kDescription =
    "Scriptable access to one datalogger.\n"
    "\n"
    "Commands:\n"
    "  identity                      print the device identity as JSON\n"
    "  instant                       print the instant values as JSON\n"
    "  read                          print setupParameters, fileInformations, channelNames,\n"
    "                                channelCalibrations and alarmParameters as one JSON object\n"
    "  download --dir DIR [--name PREFIX] [--text] [--excel xls|xlsx] [--pivot]\n"
    "                                download the memory written since the last download into\n"
    "                                DIR/PREFIX_ddMMyyyy.xml (PREFIX: the station code) and print its path\n"
    "  upload --config FILE --password PW\n"
    "                                upload the channelNames, channelCalibrations, setupParameters and\n"
    "                                alarmParameters sections of FILE (the shape `read` prints); missing\n"
    "                                members keep the device's values, and a shorter list changes only its\n"
    "                                first entries; changed values are checked against the setup wizard's\n"
    "                                ranges before anything is sent (exit 2 names the member); then reads\n"
    "                                the records back and prints which were confirmed; exit 0 only when\n"
    "                                all were. --database URL also stores the upload, with the operator's\n"
    "                                login and host, in that station store's configuration history (the\n"
    "                                station found by the code the device reports)\n"
    "  password --password OLD --new NEW   change the device password (at most 4 characters each)\n"
    "  factory-defaults --password PW      restore the device's factory settings\n"
    "  convert FILE.xml --excel xls|xlsx [--pivot]   convert a data file to an Excel workbook\n"
    "  gaps FILE.xml [FILE.xml ...] [--from DATE] [--to DATE] [--json] [--database URL]\n"
    "                                list the holes in a station's data files (times at which a\n"
    "                                channel's recording interval expects a value and none is there)\n"
    "                                and the completeness per channel and per day; each file's setup\n"
    "                                holds until the next file's setup time. DATE: yyyy-MM-dd or\n"
    "                                yyyy-MM-ddTHH:mm; a bare --to date takes in the whole day.\n"
    "                                --database URL (gaps and export): each file is read together\n"
    "                                with the values that station store holds for it, committed\n"
    "                                through any collector's folder\n"
    "  export FILE.xml [FILE.xml ...] --format waterml2|zrxp|csv [--from DATE] [--to DATE]\n"
    "         [--channels 0,2] [--utc-offset +03:00] [--locale C|tr|de]\n"
    "         [--zrxp-encoding iso-8859-1|utf-8] [--out PATH] [--database URL]\n"
    "                                the instant values of a station's data files in an exchange\n"
    "                                format; times carry the station's UTC offset (default +03:00);\n"
    "                                --locale tr|de gives CSV with ';' and a decimal comma; ZRXP is\n"
    "                                ISO-8859-1 (letters outside it without their accents) unless\n"
    "                                --zrxp-encoding utf-8; --out replaces PATH, a regular file, only\n"
    "                                once the whole file is written. Channels are followed across\n"
    "                                files by code, name and unit and numbered by their position in\n"
    "                                the newest file (see the README); files are taken in the order\n"
    "                                of the dates in their names\n"
    "\n"
    "Date-times are printed as yyyy-MM-ddTHH:mm:ss (null when the device reports none).\n"
    "Every device call ends within six reply times and two seconds, answered or not.\n"
    "Exit status: 0 success, 1 device or file failure (the reason on stderr), 2 usage error.";

} // namespace

int main(int argc, char *argv[])
{
    pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nexil-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOptions({
        {"tcp", "Logger (or its modem) at HOST:PORT.", "HOST:PORT"},
        {"serial", "Logger on the serial DEVICE.", "DEVICE"},
        {"baud", "Serial line speed (default 9600).", "RATE", "9600"},
        {"reply-timeout", "Milliseconds to wait for each reply before resending (default 10000).", "MS",
         "10000"},
        {"dir", "download: folder of the data file.", "DIR"},
        {"name", "download: file name prefix (default: the station code).", "PREFIX"},
        {"text", "download: also write the text export."},
        {"excel", "download, convert: also write an Excel workbook (xls or xlsx).", "TYPE"},
        {"pivot", "download, convert: add pivot sheets to the workbook."},
        {"config", "upload: JSON file with the records to upload.", "FILE"},
        {"password", "upload, password, factory-defaults: the device password.", "PW"},
        {"database",
         "upload: store the upload in the configuration history of this station store (a "
         "path or sqlite:PATH, or postgresql://...; as tqm510's --database). gaps, export: read the "
         "values that store holds for the files too.",
         "URL"},
        {"new", "password: the new password.", "NEW"},
        {"from", "gaps, export: start of the range (default: the first value).", "DATE"},
        {"to", "gaps, export: end of the range, inclusive (default: the last value).", "DATE"},
        {"json", "gaps: print JSON instead of tables."},
        {"format", "export: waterml2, zrxp or csv.", "FORMAT"},
        {"channels",
         "export: channels to write by their numbers, the positions in the newest file, such as 0,2 "
         "(default: all).",
         "LIST"},
        {"utc-offset", "export: the station's UTC offset (default +03:00).", "OFFSET"},
        {"locale", "export: CSV number format, C, tr or de (default C).", "LOCALE"},
        {"zrxp-encoding", "export: ZRXP character set, iso-8859-1 or utf-8 (default iso-8859-1).",
         "ENCODING"},
        {"out", "export: regular file to write (default: standard output).", "PATH"},
        {"verbose", "Show the library's debug messages on stderr."},
    });
    parser.addPositionalArgument("command", "identity, instant, read, download, upload, password, "
                                            "factory-defaults, convert, gaps or export.");
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet("verbose"))
        enableDebugOutput({QStringLiteral("nexil")});
    const int status = runCommand(parser);
    // What was printed counts only once it is out: a full disk or a closed
    // pipe is a failure, however small the output.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "writing to standard output failed: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
