#include "commands.h"

#include "configcheck.h"
#include "devicesession.h"
#include "exportcommand.h"
#include "gapscommand.h"
#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/recordjson.h"
#include "nexil/configuration/uploadcheck.h"
#include "nexil/excel/excelconverter.h"
#include "nexil/files/filemanager.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/databaseurl.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>

#include <cstdio>
#include <unistd.h>

namespace {

enum Exit { Success = 0, Failure = 1, Usage = 2 };

int fail(const QString &text, int status = Failure)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return status;
}

void print(const QJsonObject &object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
}

// A data file prefix may come from the device: keep it to one safe path component.
QString safeFileComponent(const QString &text)
{
    QString out;
    for (const QChar c : text.trimmed())
        out += (c.isLetterOrNumber() || c == '-' || c == '_' || c == '.') ? c : QChar('_');
    while (out.startsWith('.'))
        out.remove(0, 1);
    return out.isEmpty() ? QStringLiteral("station") : out;
}

bool parseTarget(const QCommandLineParser &parser, DeviceSession::Target *target, QString *problem)
{
    bool ok = true;
    target->replyTimeout = parser.value("reply-timeout").toInt(&ok);
    if (!ok || target->replyTimeout <= 0) {
        *problem = QStringLiteral("--reply-timeout takes a positive number of milliseconds");
        return false;
    }
    if (parser.isSet("tcp") == parser.isSet("serial")) {
        *problem = QStringLiteral("name the logger with exactly one of --tcp HOST:PORT or --serial DEVICE");
        return false;
    }
    if (parser.isSet("serial")) {
        target->serialDevice = parser.value("serial");
        target->baud = parser.value("baud").toInt(&ok);
        if (!ok || target->baud <= 0) {
            *problem = QStringLiteral("--baud takes a positive number");
            return false;
        }
        return true;
    }
    const QString tcp = parser.value("tcp");
    const int colon = tcp.lastIndexOf(':');
    const int port = tcp.mid(colon + 1).toInt(&ok);
    if (colon <= 0 || !ok || port <= 0 || port > 65535) {
        *problem = QStringLiteral("--tcp takes HOST:PORT");
        return false;
    }
    target->host = tcp.left(colon);
    target->port = quint16(port);
    return true;
}

bool excelType(const QCommandLineParser &parser, ExcelConverter::ExcelType *type, QString *problem)
{
    const QString value = parser.value("excel").toLower();
    if (value == "xls")
        *type = ExcelConverter::Xls;
    else if (value == "xlsx")
        *type = ExcelConverter::Xlsx;
    else {
        *problem = QStringLiteral("--excel takes xls or xlsx");
        return false;
    }
    return true;
}

bool convertToExcel(const QString &path, ExcelConverter::ExcelType type, bool pivot, QString *problem)
{
    ExcelConverter converter;
    QString reason;
    QObject::connect(&converter, &ExcelConverter::error, [&](const QString &text) { reason = text; });
    if (converter.convert(path, type, pivot) && reason.isEmpty())
        return true;
    *problem = QStringLiteral("Excel conversion failed");
    if (!reason.isEmpty())
        *problem += QLatin1Char('\n') + reason;
    return false;
}

class Commands
{
public:
    Commands(const QCommandLineParser &p, DeviceSession &s) : parser(p), session(s), nexil(s.device()) {}

    int identity()
    {
        DeviceIdentity record;
        if (!session.call([&] { nexil.getDeviceIdentity(); }, &Nexil::deviceIdentity,
                          [&](const DeviceIdentity &r) { record = r; }))
            return fail(session.errorText());
        print(recordjson::toJson(record));
        return Success;
    }

    int instant()
    {
        InstantData record;
        if (!session.call([&] { nexil.getInstantValues(); }, &Nexil::instantValues,
                          [&](const InstantData &r) { record = r; }))
            return fail(session.errorText());
        print(recordjson::toJson(record));
        return Success;
    }

    int read()
    {
        Records r;
        if (!readSetup(&r) || !readFiles(&r) || !readNames(&r) || !readCalibrations(&r) || !readAlarms(&r))
            return fail(session.errorText());
        QJsonObject out;
        out.insert("setupParameters", recordjson::toJson(r.setup));
        out.insert("fileInformations", recordjson::toJson(r.files));
        out.insert("channelNames", recordjson::toJson(r.names));
        out.insert("channelCalibrations", recordjson::toJson(r.calibrations));
        out.insert("alarmParameters", recordjson::toJson(r.alarms));
        print(out);
        return Success;
    }

    int download()
    {
        Records r;
        if (!readSetup(&r) || !readFiles(&r))
            return fail(session.errorText());
        // Named after the device's last memory file; without one, after the device's clock.
        const QDateTime fileDate = r.files.files.isEmpty() ? r.setup.deviceTime : r.files.files.last().date;
        const QString prefix =
            safeFileComponent(parser.isSet("name") ? parser.value("name") : r.setup.stationCode);
        // The same device must always get the same file, whatever the locale's digits.
        const QString path = QStringLiteral("%1/%2_%3.xml")
                                 .arg(QDir::cleanPath(parser.value("dir")), prefix,
                                      QLocale::c().toString(fileDate, QStringLiteral("ddMMyyyy")));

        FileManager files;
        int page = 0;
        int buffer = 0;
        QDateTime time;
        files.getLastMemoryAddresses(&page, &buffer, &time, path);

        const bool showProgress = isatty(STDERR_FILENO);
        QObject::connect(&nexil, &Nexil::downloadProgress, [&](int done, int total) {
            if (showProgress)
                std::fprintf(stderr, "\r%d/%d pages", done, total);
        });
        QList<DataFile> downloaded;
        QObject::connect(&nexil, &Nexil::dataFile, [&](const QList<DataFile> &list) { downloaded = list; });
        const bool ok =
            session.call([&] { nexil.getData(time, page, buffer); }, &Nexil::downloadCompleted, [] {});
        if (showProgress)
            std::fputs("\n", stderr);
        if (!ok)
            return fail(QStringLiteral("the download failed and nothing was saved; the next download starts "
                                       "where the last saved one ended\n%1")
                            .arg(session.errorText()));
        if (downloaded.isEmpty())
            return fail(QStringLiteral("the device sent no data file"));

        const int saved = files.saveFile(downloaded.first(), path, parser.isSet("text"), false);
        if (saved == FileManager::FileUnreadable)
            return fail(QStringLiteral("cannot read the existing data file %1").arg(path));
        if (saved != FileManager::Saved)
            return fail(QStringLiteral("cannot write the data file %1").arg(path));
        if (parser.isSet("excel")) {
            ExcelConverter::ExcelType type;
            QString problem;
            if (!excelType(parser, &type, &problem) ||
                !convertToExcel(path, type, parser.isSet("pivot"), &problem))
                return fail(problem);
        }
        std::printf("%s\n", qPrintable(path));
        return Success;
    }

    int upload(const QJsonObject &config)
    {
        Records r;
        if (!readSetup(&r) || !readNames(&r) || !readCalibrations(&r) || !readAlarms(&r))
            return fail(session.errorText());
        // The device's own values, which may go back as they are.
        QJsonObject device;
        device.insert("setupParameters", recordjson::toJson(r.setup));
        device.insert("channelNames", recordjson::toJson(r.names));
        device.insert("channelCalibrations", recordjson::toJson(r.calibrations));
        device.insert("alarmParameters", recordjson::toJson(r.alarms));
        QStringList problems;
        bool applied = true;
        if (config.contains("channelNames"))
            applied &= recordjson::apply(config.value("channelNames").toObject(), &r.names, &problems);
        if (config.contains("channelCalibrations"))
            applied &=
                recordjson::apply(config.value("channelCalibrations").toObject(), &r.calibrations, &problems);
        if (config.contains("setupParameters"))
            applied &= recordjson::apply(config.value("setupParameters").toObject(), &r.setup, &problems);
        if (config.contains("alarmParameters"))
            applied &= recordjson::apply(config.value("alarmParameters").toObject(), &r.alarms, &problems);
        if (!applied)
            return fail(problems.join('\n'), Usage);
        // Nothing is sent when a value is one the device cannot take.
        problems = configcheck::outOfRange(config, device);
        if (!problems.isEmpty())
            return fail(QStringLiteral("nothing was sent:\n") + problems.join('\n'), Usage);

        // In the order the setup wizard uses, each after the previous acknowledgement.
        const QString password = parser.value("password");
        ConfigSnapshot meant;
        UploadCheck check;
        QString failure;
        const auto send = [&](const QString &record, const std::function<void()> &start, auto signal) {
            if (!failure.isEmpty())
                return;
            if (session.call(start, signal, [] {})) {
                check.sent(record);
                return;
            }
            failure = session.errorText();
            check.sent(record, session.wasRefused() ? UploadCheck::Outcome::Refused
                                                    : UploadCheck::Outcome::NotAnswered);
        };
        if (config.contains("channelNames")) {
            meant.setNames(r.names);
            send(
                ConfigSnapshot::namesKey(), [&] { nexil.sendChannelNames(password, r.names); },
                &Nexil::channelNamesHaveBeenLoaded);
        }
        if (config.contains("channelCalibrations")) {
            meant.setCalibrations(r.calibrations);
            send(
                ConfigSnapshot::calibrationsKey(), [&] { nexil.sendCalibrations(password, r.calibrations); },
                &Nexil::channelCalibrationsHaveBeenLoaded);
        }
        if (config.contains("setupParameters")) {
            meant.setSetup(r.setup);
            send(
                ConfigSnapshot::setupKey(), [&] { nexil.sendSetupParameters(password, r.setup); },
                &Nexil::setupParametersHaveBeenLoaded);
        }
        if (config.contains("alarmParameters")) {
            meant.setAlarms(r.alarms);
            send(
                ConfigSnapshot::alarmsKey(), [&] { nexil.sendAlarmParameters(password, r.alarms); },
                &Nexil::alarmParametersHaveBeenLoaded);
        }
        check.setMeant(meant);
        if (meant.isEmpty()) {
            std::printf("Nothing to upload\n");
            return Success;
        }
        // What the device holds now, whatever was acknowledged: an upload
        // counts only once it shows in a read.
        Records back;
        ConfigSnapshot readBack;
        if (readSetup(&back))
            readBack.setSetup(back.setup);
        if (readNames(&back))
            readBack.setNames(back.names);
        if (readCalibrations(&back))
            readBack.setCalibrations(back.calibrations);
        if (readAlarms(&back))
            readBack.setAlarms(back.alarms);
        check.setReadBack(readBack);
        std::printf("%s\n", qPrintable(check.summary()));
        if (!failure.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(failure));
        if (parser.isSet("database")) {
            // The station the device says it is, as it said so before the upload.
            QString problem;
            if (!storeUpload(r.setup.stationCode, check, &problem))
                return fail(problem);
        }
        return check.allConfirmed() ? Success : Failure;
    }

    int password()
    {
        const QString current = parser.value("password");
        const QString next = parser.value("new");
        if (!session.call([&] { nexil.setPassword(current, next); }, &Nexil::passwordChanged, [] {}))
            return fail(session.errorText());
        return Success;
    }

    int factoryDefaults()
    {
        const QString pw = parser.value("password");
        if (!session.call([&] { nexil.loadFactoryDefaults(pw); }, &Nexil::factoryDefaultsHaveBeenLoaded,
                          [] {}))
            return fail(session.errorText());
        return Success;
    }

private:
    bool storeUpload(const QString &code, const UploadCheck &check, QString *problem)
    {
        DatabaseUrl url;
        if (!DatabaseUrl::parse(parser.value("database"), &url, problem))
            return false;
        DatabaseConnection database;
        bool ok = database.open(url);
        if (!ok) {
            *problem =
                QStringLiteral("the upload was not stored: %1").arg(DatabaseConnection::lastOpenError());
        } else {
            const QList<DBStation> stations = DatabaseConnection::selectStations();
            const auto found = std::find_if(stations.cbegin(), stations.cend(),
                                            [&](const DBStation &s) { return s.code == code; });
            if (found == stations.cend()) {
                ok = false;
                *problem = QStringLiteral("the upload was not stored: no station with the code %1").arg(code);
            } else if (!ConfigHistory().recordUpload(found->id, ConfigHistory::cli(),
                                                     ConfigHistory::localActor(), check,
                                                     QDateTime::currentDateTime())) {
                ok = false;
                *problem = QStringLiteral("the upload was not stored: the store refused it");
            }
        }
        DatabaseConnection::close();
        return ok;
    }

    struct Records
    {
        SetupParameters setup;
        FileInformations files;
        ChannelNames names;
        ChannelCalibrations calibrations;
        AlarmParameters alarms;
    };

    bool readSetup(Records *r)
    {
        return session.call([&] { nexil.getSetupParemeters(); }, &Nexil::setupParameters,
                            [&](const SetupParameters &v) { r->setup = v; });
    }
    bool readFiles(Records *r)
    {
        return session.call([&] { nexil.getFileInformations(); }, &Nexil::fileInformations,
                            [&](const FileInformations &v) { r->files = v; });
    }
    bool readNames(Records *r)
    {
        return session.call([&] { nexil.getChannelNames(); }, &Nexil::channelNames,
                            [&](const ChannelNames &v) { r->names = v; });
    }
    bool readCalibrations(Records *r)
    {
        return session.call([&] { nexil.getChannelCalibrations(); }, &Nexil::channelCalibrations,
                            [&](const ChannelCalibrations &v) { r->calibrations = v; });
    }
    bool readAlarms(Records *r)
    {
        return session.call([&] { nexil.getAlarmParameters(); }, &Nexil::alarmParameters,
                            [&](const AlarmParameters &v) { r->alarms = v; });
    }

    const QCommandLineParser &parser;
    DeviceSession &session;
    Nexil &nexil;
};

// Reads and checks an upload file before anything is sent.
bool loadConfig(const QString &path, QJsonObject *config, QString *problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        *problem = QStringLiteral("%1 is not valid JSON: %2 at offset %3")
                       .arg(path, error.errorString())
                       .arg(error.offset);
        return false;
    }
    if (!document.isObject()) {
        *problem = QStringLiteral("%1 holds a JSON %2; the upload file is one object with the sections "
                                  "`read` prints")
                       .arg(path, document.isArray() ? QStringLiteral("array") : QStringLiteral("value"));
        return false;
    }
    *config = document.object();
    // fileInformations is part of what `read` prints but cannot be uploaded.
    const QStringList sections = {"channelNames", "channelCalibrations", "setupParameters", "alarmParameters",
                                  "fileInformations"};
    QStringList unknown;
    for (const QString &key : config->keys()) {
        if (!sections.contains(key))
            unknown << key;
        else if (!config->value(key).isObject())
            unknown << key + QStringLiteral(" (not an object)");
    }
    if (!unknown.isEmpty()) {
        *problem = QStringLiteral("unknown members in %1: %2").arg(path, unknown.join(", "));
        return false;
    }
    // Types are checked on empty records now, before any connection.
    SetupParameters setup;
    ChannelNames names;
    ChannelCalibrations calibrations;
    AlarmParameters alarms;
    QStringList problems;
    bool ok = true;
    ok &= recordjson::apply(config->value("setupParameters").toObject(), &setup, &problems);
    ok &= recordjson::apply(config->value("channelNames").toObject(), &names, &problems);
    ok &= recordjson::apply(config->value("channelCalibrations").toObject(), &calibrations, &problems);
    ok &= recordjson::apply(config->value("alarmParameters").toObject(), &alarms, &problems);
    if (!ok) {
        *problem = problems.join('\n');
        return false;
    }
    return true;
}

int convertCommand(const QCommandLineParser &parser)
{
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2 || !parser.isSet("excel"))
        return fail(QStringLiteral("usage: nexil-cli convert FILE.xml --excel xls|xlsx [--pivot]"), Usage);
    ExcelConverter::ExcelType type;
    QString problem;
    if (!excelType(parser, &type, &problem))
        return fail(problem, Usage);
    if (!convertToExcel(args.at(1), type, parser.isSet("pivot"), &problem))
        return fail(problem);
    return Success;
}

} // namespace

int runCommand(const QCommandLineParser &parser)
{
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return fail(QStringLiteral("name a command; see --help"), Usage);
    const QString command = args.first();
    if (command == "convert")
        return convertCommand(parser);
    if (command == "export")
        return exportCommand(parser);
    if (command == "gaps")
        return gapsCommand(parser);

    static const QStringList deviceCommands = {"identity", "instant",         "read", "download", "upload",
                                               "password", "factory-defaults"};
    if (!deviceCommands.contains(command))
        return fail(QStringLiteral("unknown command %1; see --help").arg(command), Usage);
    if (args.size() != 1)
        return fail(QStringLiteral("%1 takes no arguments").arg(command), Usage);

    DeviceSession::Target target;
    QString problem;
    if (!parseTarget(parser, &target, &problem))
        return fail(problem, Usage);

    QJsonObject config;
    if (command == "download" && !parser.isSet("dir"))
        return fail(QStringLiteral("download needs --dir DIR"), Usage);
    // Made before connecting, so a folder that cannot be made costs no download.
    if (command == "download" && !QDir().mkpath(parser.value("dir")))
        return fail(QStringLiteral("cannot create the folder %1").arg(parser.value("dir")));
    if (command == "download" && parser.isSet("excel")) {
        ExcelConverter::ExcelType type;
        if (!excelType(parser, &type, &problem))
            return fail(problem, Usage);
    }
    if (command == "upload") {
        if (!parser.isSet("config") || !parser.isSet("password"))
            return fail(QStringLiteral("upload needs --config FILE and --password PW"), Usage);
        DatabaseUrl url;
        if (parser.isSet("database") && !DatabaseUrl::parse(parser.value("database"), &url, &problem))
            return fail(QStringLiteral("--database: %1").arg(problem), Usage);
        if (!loadConfig(parser.value("config"), &config, &problem))
            return fail(problem, Usage);
    }
    if (command == "password") {
        if (!parser.isSet("password") || !parser.isSet("new"))
            return fail(QStringLiteral("password needs --password OLD and --new NEW"), Usage);
        if (parser.value("password").size() > 4 || parser.value("new").size() > 4)
            return fail(QStringLiteral("passwords have at most 4 characters"), Usage);
    }
    if (command == "factory-defaults" && !parser.isSet("password"))
        return fail(QStringLiteral("factory-defaults needs --password PW"), Usage);

    DeviceSession session(target);
    if (!session.open())
        return fail(session.errorText());
    Commands commands(parser, session);
    int status = Failure;
    if (command == "identity")
        status = commands.identity();
    else if (command == "instant")
        status = commands.instant();
    else if (command == "read")
        status = commands.read();
    else if (command == "download")
        status = commands.download();
    else if (command == "upload")
        status = commands.upload(config);
    else if (command == "password")
        status = commands.password();
    else if (command == "factory-defaults")
        status = commands.factoryDefaults();
    session.close();
    return status;
}
