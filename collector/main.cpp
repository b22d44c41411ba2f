#include "collection/confighistoryprinter.h"
#include "collection/headlesscollector.h"
#include "collection/memorytrim.h"
#include "collection/serviceconfig.h"
#include "collection/workercontroller.h"
#include "nexil/logging.h"
#include "nexil/protocol/timezone.h"
#include "store/databaseconnection.h"
#include "store/databaseurl.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "web/webaccounts.h"
#include "web/webservice.h"
#ifdef TQM510_WINDOWS
#include "questions.h"
#include "ui/chartcommand.h"
#include "ui/startup.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Every station has a thread (with its event descriptor) and, while visited,
// a connection: a list of a thousand stations needs more than the usual
// 1024 open files.
void raiseOpenFileLimit()
{
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}
// A password from the terminal (not echoed, asked twice) or one line of
// standard input.
bool readPassword(QTextStream &err, QByteArray *password)
{
    const auto readLine = [](QByteArray *line) {
        line->clear();
        int c = 0;
        while ((c = std::getchar()) != EOF && c != '\n')
            line->append(char(c));
        if (line->endsWith('\r'))
            line->chop(1);
        return c != EOF || !line->isEmpty();
    };
    if (!::isatty(STDIN_FILENO)) {
        if (!readLine(password))
            return false;
        // A second line would be silently left out of the password.
        int c = 0;
        while ((c = std::getchar()) != EOF) {
            if (c != '\n' && c != '\r') {
                err << "The password is one line; standard input has more." << Qt::endl;
                password->clear();
                return false;
            }
        }
        return true;
    }
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    QByteArray again;
    err << "Password: " << Qt::flush;
    bool ok = readLine(password);
    err << "\nAgain: " << Qt::flush;
    ok = ok && readLine(&again);
    err << Qt::endl;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (ok && *password != again) {
        err << "The passwords differ." << Qt::endl;
        return false;
    }
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    MemoryTrim::restartWithTunables(argv);
    pinLocalTimeZone();
    raiseOpenFileLimit();
#ifdef TQM510_WINDOWS
    if (isChartCommand(argc, argv))
        return chartMain(argc, argv);
    const std::unique_ptr<QCoreApplication> app = Startup::createApplication(argc, argv);
#else
    const auto app = std::make_unique<QCoreApplication>(argc, argv);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("stc2"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.26"));

    QCommandLineParser parser;
    const QString description = QStringLiteral(
        "Velk Data Collector: collects the stations of its working folder's database.\n"
        "Without --headless it is the desktop program.\n"
        "With --headless it collects without any window, as \"Start Collecting\" does, and prints one line\n"
        "per status: local time, station id, station code and status, separated by tabs. SIGINT or\n"
        "SIGTERM stop it (exit status 0). Exit status 1 when the database cannot be opened.\n"
        "Statuses the database is too busy to take are kept and stored later; standard error says so.\n"
        "The working folder: --workdir DIR (or TQM510_WORKDIR), else the classic layout of the working\n"
        "directory or the program's folder (settings.ini, ../data, ../lang, ../style), else the user's\n"
        "data folder.\n"
        "Settings, the first one given wins: the command line; the environment (TQM510_DATABASE); the\n"
        "configuration file of --config (the service's is /etc/tqm510/tqm510.conf); the SETTINGS group of\n"
        "the working folder's settings.ini; the defaults. Passwords given as systemd credentials\n"
        "($CREDENTIALS_DIRECTORY/database-password, $CREDENTIALS_DIRECTORY/smtp-password) win over all.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("headless"), QStringLiteral("Collect without any window or display.")});
    parser.addOption(
        {QStringLiteral("once"),
         QStringLiteral("With --headless: visit every active station one time, as \"Update Station "
                        "Data\" does, and exit when every visit has ended; exit status 0 when none "
                        "ended in an error, 1 otherwise.")});
    parser.addOption(
        {QStringLiteral("add-station"),
         QStringLiteral("Add an active station to the database and exit (may be repeated). "
                        "CODE (1-24 characters, unique in the store) names the station's folder. "
                        "DIRECTORY (may be empty) defaults to FILES/CODE, FILES being the "
                        "working folder's files folder; without DEVICE-TYPE the first visit "
                        "records the one the device reports."),
         QStringLiteral("CODE,HOST,PORT[,DIRECTORY[,DEVICE-TYPE]]")});
    parser.addOption(
        {QStringLiteral("metrics-file"),
         QStringLiteral("With --headless: rewrite PATH (atomically, at most every 10 s) after the "
                        "visits and every minute with the collection's figures in the text "
                        "format of a monitoring textfile collector (default: \"metricsFile\" in the --config "
                        "file)."),
         QStringLiteral("PATH")});
    parser.addOption(
        {QStringLiteral("station-setting"),
         QStringLiteral(
             "Set a station setting in the database and exit (may be repeated): utcOffset "
             "(+03:00; default: \"utcOffset\" in settings.ini, else +03:00), exportFormats "
             "(waterml2, zrxp, csv, comma-separated: written into the station's folder after "
             "each visit), csvLocale (C, tr or de: the number format of that CSV), quality:SLOT "
             "(the quality tests of the channel in that device slot: "
             "gross=MIN,MAX;user=MIN,MAX;spike=SUSPECT,FAIL;roc=N,WINDOW;flat=TOLERANCE,SUSPECT,FAIL "
             "with times as 30m, 2h or 1d) or alarms:SLOT (high=LIMIT[,CLEAR];low=LIMIT[,CLEAR];"
             "rise=AMOUNT,PERIOD[,CLEAR]). An empty value removes the setting."),
         QStringLiteral("CODE,KEY=VALUE")});
    parser.addOption({QStringLiteral("status"),
                      QStringLiteral("Print every station's visit statistics as a table and exit.")});
    parser.addOption({QStringLiteral("config-history"),
                      QStringLiteral("Print the configuration history of the station CODE (what was read and "
                                     "uploaded, with the differences) and exit."),
                      QStringLiteral("CODE")});
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("With --status or --config-history: print JSON instead of a table.")});
    parser.addOption(
        {QStringLiteral("verbose"),
         QStringLiteral("Show the diagnostics of the library and the collector on standard error "
                        "(as QT_LOGGING_RULES=\"nexil.*=true;collector.*=true\" does).")});
#ifdef TQM510_WINDOWS
    parser.addOption({QStringLiteral("chart"),
                      QStringLiteral("Draw a data file as a chart, in a window or into a PNG image "
                                     "(tqm510 --chart --help tells more)."),
                      QStringLiteral("FILE")});
#endif
    parser.addOption(
        {QStringLiteral("database"),
         QStringLiteral("The station store: sqlite:PATH (default: the working folder's data/data.db) "
                        "or postgresql://USER@HOST:PORT/DBNAME, shared by several collectors. "
                        "Also TQM510_DATABASE, \"database\" in the --config file or \"SETTINGS/database\" in "
                        "settings.ini."),
         QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("collector-id"),
         QStringLiteral(
             "With --headless on a shared PostgreSQL store: this collector's name in "
             "the station leases (default: \"collectorId\" in the --config file, else host name and "
             "process id)."),
         QStringLiteral("NAME")});
    parser.addOption(
        {QStringLiteral("config"),
         QStringLiteral(
             "Read settings from FILE, \"key = value\" lines: database, collectorId, metricsFile, web "
             "(not read: the dashboard listens on httpAddress) and the SETTINGS keys of "
             "settings.ini that a collection reads (lang, retryMinutes, clockDriftWarnSeconds, "
             "clockSync, devicePassword, memoryWarnDays, alertAfterFailures, maxVisitsInFlight, "
             "smtpServer, smtpPort, smtpTls, smtpUser, smtpPassword, smtpFrom, smtpAllowPlainLogin) or the "
             "HTTP API serves by (httpAddress, httpCertificate, httpKey, httpRequestTimeout). Also "
             "TQM510_CONFIG."),
         QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("http"),
         QStringLiteral(
             "With --headless or --serve: serve the HTTP API on ADDRESS:PORT (default: \"httpAddress\" "
             "in the --config file or \"SETTINGS/httpAddress\" in settings.ini). An address other than "
             "loopback needs httpCertificate and httpKey (PEM files) and at least one account."),
         QStringLiteral("ADDRESS:PORT")});
    parser.addOption(
        {QStringLiteral("serve"),
         QStringLiteral("Serve the HTTP API of the store's stations and their data files without "
                        "collecting, until SIGINT or SIGTERM.")});
    parser.addOption(
        {QStringLiteral("add-user"),
         QStringLiteral("Add an account of the HTTP API (or give it a new password and role) and "
                        "exit; the password is read from the terminal or standard input. A running "
                        "server ends the account's sessions when it changes."),
         QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("role"), QStringLiteral("With --add-user: viewer or operator."),
                      QStringLiteral("ROLE")});
    parser.addOption(
        {QStringLiteral("remove-user"),
         QStringLiteral("Remove an account of the HTTP API and exit; a running server ends its sessions."),
         QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("workdir"),
                      QStringLiteral("Use DIR as the working folder: DIR/settings.ini, DIR/data/data.db, "
                                     "DIR/lang, DIR/style and new stations under DIR/files."),
                      QStringLiteral("DIR")});
    // The folder in use is named in --help, so it is known before --help is handled.
    parser.parse(app->arguments());
    const QString installedData = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tqm510");
    WorkFolder::setCurrent(WorkFolder::resolve(parser.value(QStringLiteral("workdir")),
                                               qEnvironmentVariable("TQM510_WORKDIR"),
                                               QCoreApplication::applicationDirPath(), installedData));
    parser.setApplicationDescription(description + QStringLiteral("\nNow: ") +
                                     WorkFolder::current().describe());
    parser.process(*app);
    if (parser.isSet(QStringLiteral("verbose")))
        enableDebugOutput({QStringLiteral("nexil"), QStringLiteral("collector")});

    QTextStream out(stdout);
    QTextStream err(stderr);
    {
        ServiceConfig config;
        QString problem;
        QString configFile = parser.value(QStringLiteral("config"));
        if (configFile.isEmpty())
            configFile = qEnvironmentVariable("TQM510_CONFIG");
        if (!configFile.isEmpty() && !config.load(configFile, &problem)) {
            err << "Bad configuration file: " << problem << Qt::endl;
            return 2;
        }
        for (const QString &warning : config.warnings())
            err << warning << Qt::endl;
        if (!config.loadCredentials(&problem)) {
            err << "Cannot read a credential: " << problem << Qt::endl;
            return 2;
        }
        ServiceConfig::setCurrent(config);
    }
    const ServiceConfig &config = ServiceConfig::current();
    {
        const QSettings settings(WorkFolder::current().settingsFile(), QSettings::IniFormat);
        DatabaseUrl url;
        QString problem;
        const QString chosen = config.databaseUrl(
            parser.value(QStringLiteral("database")), qEnvironmentVariable("TQM510_DATABASE"),
            settings.value(QStringLiteral("SETTINGS/database")).toString());
        if (!DatabaseUrl::choose(chosen, QString(), QString(), WorkFolder::current().databaseFile(), &url,
                                 &problem)) {
            err << "Bad database URL: " << problem << Qt::endl;
            return 2;
        }
        DatabaseUrl::setCurrent(url);
    }
    if (parser.isSet(QStringLiteral("once")) && !parser.isSet(QStringLiteral("headless"))) {
        err << "--once needs --headless." << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("metrics-file")) && !parser.isSet(QStringLiteral("headless"))) {
        err << "--metrics-file needs --headless." << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("http")) && !parser.isSet(QStringLiteral("headless")) &&
        !parser.isSet(QStringLiteral("serve"))) {
        err << "--http needs --headless or --serve." << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("role")) && !parser.isSet(QStringLiteral("add-user"))) {
        err << "--role needs --add-user." << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("json")) && !parser.isSet(QStringLiteral("status")) &&
        !parser.isSet(QStringLiteral("config-history"))) {
        err << "--json needs --status or --config-history." << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("config-history"))) {
        return ConfigHistoryPrinter(out, err).print(parser.value(QStringLiteral("config-history")),
                                                    parser.isSet(QStringLiteral("json")));
    }
    if (parser.isSet(QStringLiteral("status"))) {
        HeadlessCollector collector(out, err);
        return collector.printStatus(parser.isSet(QStringLiteral("json")));
    }
    if (parser.isSet(QStringLiteral("station-setting"))) {
        HeadlessCollector collector(out, err);
        return collector.setStationSettings(parser.values(QStringLiteral("station-setting")));
    }
    if (parser.isSet(QStringLiteral("add-station"))) {
        HeadlessCollector collector(out, err);
        return collector.addStations(parser.values(QStringLiteral("add-station")));
    }
    if (parser.isSet(QStringLiteral("remove-user"))) {
        DatabaseConnection database;
        if (!database.open(DatabaseUrl::current())) {
            err << "Could not connect to database: " << DatabaseConnection::lastOpenError() << Qt::endl;
            return 1;
        }
        QString problem;
        const bool removed = WebAccounts::remove(parser.value(QStringLiteral("remove-user")), &problem);
        DatabaseConnection::close();
        if (!removed) {
            err << "Could not remove the account: " << problem << Qt::endl;
            return 1;
        }
        return 0;
    }
    if (parser.isSet(QStringLiteral("add-user"))) {
        const QString role = parser.value(QStringLiteral("role"));
        if (!WebAccounts::isRole(role)) {
            err << "--add-user needs --role viewer or --role operator." << Qt::endl;
            return 2;
        }
        QByteArray password;
        if (!readPassword(err, &password)) {
            err << "No password given." << Qt::endl;
            return 2;
        }
        DatabaseConnection database;
        if (!database.open(DatabaseUrl::current())) {
            err << "Could not connect to database: " << DatabaseConnection::lastOpenError() << Qt::endl;
            return 1;
        }
        QString problem;
        const bool added =
            WebAccounts::add(parser.value(QStringLiteral("add-user")), role, password, &problem);
        DatabaseConnection::close();
        if (!added) {
            err << "Could not add the account: " << problem << Qt::endl;
            return 1;
        }
        return 0;
    }
    WebService::Settings web;
    {
        const QSettings settings(WorkFolder::current().settingsFile(), QSettings::IniFormat);
        const auto setting = [&](const char *key) {
            const QString fromConfig = config.value(QLatin1String(key));
            return fromConfig.isEmpty()
                       ? settings.value(QStringLiteral("SETTINGS/") + QLatin1String(key)).toString()
                       : fromConfig;
        };
        web.address = parser.value(QStringLiteral("http"));
        if (web.address.isEmpty())
            web.address = setting("httpAddress");
        web.certificateFile = setting("httpCertificate");
        web.keyFile = setting("httpKey");
        web.libraryFolder = setting("httpLibraries");
        web.tileUrl = setting("httpTiles");
        const int seconds = setting("httpRequestTimeout").toInt();
        if (seconds > 0)
            web.requestTimeoutMs = seconds * 1000;
    }
    if (parser.isSet(QStringLiteral("serve"))) {
        if (web.address.isEmpty()) {
            err << "--serve needs --http ADDRESS:PORT (or httpAddress)." << Qt::endl;
            return 2;
        }
        return WebService::serve(web, out, err);
    }
    if (parser.isSet(QStringLiteral("headless"))) {
        HeadlessCollector collector(out, err);
        WebService service;
        if (!web.address.isEmpty()) {
            QObject::connect(&collector, &HeadlessCollector::collectionStarted, &service,
                             [&](StationTableModel *model, WorkerController *controller) {
                                 QString problem;
                                 if (!service.start(web, &problem)) {
                                     err << "Cannot serve: " << problem << Qt::endl;
                                     QMetaObject::invokeMethod(
                                         QCoreApplication::instance(), [] { QCoreApplication::exit(2); },
                                         Qt::QueuedConnection);
                                     return;
                                 }
                                 service.attach(model, controller);
                                 err << "Serving on port " << service.port() << Qt::endl;
                             });
            QObject::connect(&collector, &HeadlessCollector::collectionStopping, &service,
                             [&] { service.stop(); });
        }
        const auto choice = [&](const char *option, const char *key) {
            const QString given = parser.value(QLatin1String(option));
            return given.isEmpty() ? config.value(QLatin1String(key)) : given;
        };
        collector.setCollectorId(choice("collector-id", "collectorId"));
        collector.setMetricsFile(choice("metrics-file", "metricsFile"));
        if (config.contains(QStringLiteral("web")) && web.address.isEmpty())
            err << "web = " << config.value(QStringLiteral("web"))
                << ": not read; the HTTP API and the dashboard listen on httpAddress (or --http)."
                << Qt::endl;
        return collector.run(parser.isSet(QStringLiteral("once")));
    }
#ifdef TQM510_WINDOWS
    return Startup::runMainWindow(Questions::dialogs());
#else
    err << "The main window is not available in this build; use --headless." << Qt::endl;
    return 2;
#endif
}
