// A store of made-up stations served with the dashboard, for the browser
// benchmark and the screenshots:
//   dashboardserver STATIONS [LIBRARIES]
// prints "Serving on port N" and serves until its standard input closes.
// About one station in twelve fails, one in nine is disabled, one in
// fifteen has no coordinates; the first 40 have a week of 15-minute data
// (a gap in it) and visits over the last day.

#include "store/databaseconnection.h"
#include "store/databaseurl.h"
#include "store/stationstats.h"
#include "store/stationvisits.h"
#include "web/webservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

const char *const rivers[] = {"Kızılırmak", "Yeşilırmak", "Sakarya", "Fırat",          "Dicle",
                              "Seyhan",     "Ceyhan",     "Göksu",   "Büyük Menderes", "Gediz",
                              "Çoruh",      "Aras",       "Bartın",  "Filyos"};
const char *const places[] = {"Köprüsü", "Çıkışı", "Girişi", "Barajı", "Regülatörü", "İstasyonu"};

bool writeWeek(const QString &path, const QString &code, const QString &title, const QDateTime &end, int seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("device"));
    x.writeStartElement(QStringLiteral("header"));
    x.writeTextElement(QStringLiteral("supply_voltage"), QStringLiteral("12.6"));
    x.writeStartElement(QStringLiteral("station"));
    x.writeTextElement(QStringLiteral("code"), code);
    x.writeTextElement(QStringLiteral("name"), title);
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("setup"));
    x.writeTextElement(QStringLiteral("timestamp"),
                       end.addDays(-30).toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    x.writeTextElement(QStringLiteral("channel_count"), QStringLiteral("2"));
    x.writeStartElement(QStringLiteral("channels"));
    const char *const names[][2] = {{"Su seviyesi", "cm"}, {"Su sıcaklığı", "°C"}};
    for (int c = 0; c < 2; ++c) {
        x.writeStartElement(QStringLiteral("channel"));
        x.writeAttribute(QStringLiteral("id"), QString::number(c));
        x.writeAttribute(QStringLiteral("code"), QStringLiteral("CH"));
        x.writeTextElement(QStringLiteral("name"), QString::fromUtf8(names[c][0]));
        x.writeTextElement(QStringLiteral("unit"), QString::fromUtf8(names[c][1]));
        x.writeTextElement(QStringLiteral("interval"), QStringLiteral("15"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("data"));
    const QDateTime start = end.addDays(-8);
    int step = 0;
    for (QDateTime t = start; t <= end; t = t.addSecs(900), ++step) {
        // Three hours lost two days ago.
        if (t > end.addSecs(-50 * 3600) && t < end.addSecs(-47 * 3600))
            continue;
        const double hours = step / 4.0;
        const double level = 180 + seed * 7 + 40 * std::sin(hours / 24 * 2 * M_PI / 3) +
                             25 * std::exp(-std::pow((hours - 110) / 10, 2));
        const double temperature = 11 + 3 * std::sin((hours - 8) / 24 * 2 * M_PI);
        const double values[] = {level, temperature};
        for (int c = 0; c < 2; ++c) {
            x.writeEmptyElement(QStringLiteral("line"));
            x.writeAttribute(QStringLiteral("channel"), QString::number(c));
            x.writeAttribute(QStringLiteral("dataType"), QStringLiteral("INS"));
            x.writeAttribute(QStringLiteral("date"), t.toString(QStringLiteral("yyyy-MM-dd")));
            x.writeAttribute(QStringLiteral("time"), t.toString(QStringLiteral("HH:mm")));
            x.writeAttribute(QStringLiteral("setTime"), QStringLiteral("false"));
            x.writeAttribute(QStringLiteral("value"), QString::number(values[c], 'f', 2));
        }
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return true;
}

// A made-up place, scattered but the same every run.
double spread(int i, double seed)
{
    const double x = std::sin((i + 1) * seed) * 43758.5453;
    return x - std::floor(x);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.value(1, QStringLiteral("2000")).toInt();
    QTemporaryDir dir;
    DatabaseUrl::setCurrent(DatabaseUrl::sqlite(dir.filePath(QStringLiteral("data.db"))));
    DatabaseConnection db;
    if (!db.open(DatabaseUrl::current()))
        return 1;
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime quarter(now.date(), QTime(now.time().hour(), now.time().minute() / 15 * 15));
    // Each visit is a transaction of its own; a made-up store needs no sync.
    QSqlQuery().exec(QStringLiteral("PRAGMA synchronous = OFF"));
    for (int i = 0; i < count; ++i) {
        DBStation s;
        s.code = s.file_name = QStringLiteral("D%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        s.title = s.name =
            QString::fromUtf8(rivers[i % 14]) + QLatin1Char(' ') + QString::fromUtf8(places[(i / 14) % 6]);
        if (i >= 84)
            s.title += QStringLiteral(" %1").arg(i / 84 + 1);
        s.file_path = dir.filePath(QStringLiteral("files/") + s.code);
        s.active = i % 9 != 4;
        s.connection_period = 60;
        s.last_connection_time = now.addSecs(-60 * ((i * 7) % 55));
        const bool failing = s.active && i % 12 == 2;
        s.status = !s.active ? QStringLiteral("Disabled")
                   : failing ? QStringLiteral("No answer from the device")
                             : QStringLiteral("Download completed.");
        if (i % 15 != 7)
            s.coordinate = QStringLiteral("%1,%2")
                               .arg(36.5 + 4.8 * spread(i, 12.9898), 0, 'f', 4)
                               .arg(27.0 + 17.0 * spread(i, 78.233), 0, 'f', 4);
        const int id = DatabaseConnection::insertStation(s);
        if (id < 0)
            return 1;
        StationStats counts;
        counts.visits = 1;
        counts.successes = failing ? 0 : 1;
        counts.failedNoConnection = failing ? 1 : 0;
        StationStats stored;
        bool busy = false;
        StationStatsStore::addVisit(
            id, counts, failing,
            [&](StationStats &st) {
                st.lastReason = failing ? QStringLiteral("connection timed out") : QString();
                st.lastSuccess = failing ? now.addSecs(-3600 * (5 + i % 20)) : s.last_connection_time;
                st.completenessKnown = true;
                st.completeness30d = failing ? 0.82 : 0.97 + (i % 3) / 100.0;
                st.driftKnown = true;
                st.lastDriftSeconds = (i * 13) % 40 - 20;
                st.memoryFull = now.addDays(40 + i % 300);
            },
            &stored, &busy);
        if (i < 40) {
            QDir().mkpath(s.file_path);
            writeWeek(s.file_path + QLatin1Char('/') + s.code +
                          quarter.toString(QStringLiteral("_yyyyMMdd")) + QStringLiteral(".xml"),
                      s.code, s.title, failing ? quarter.addSecs(-6 * 3600) : quarter, i);
            for (int h = 23; h >= 0; --h) {
                StationVisit v;
                v.stationId = id;
                v.start = now.addSecs(-3600 * h - 120);
                v.end = v.start.addSecs(40);
                const bool bad = (failing && h < 6) || (i + h) % 17 == 0;
                v.result = bad ? QStringLiteral("noConnection") : QStringLiteral("success");
                v.reason = bad ? QStringLiteral("connection timed out") : QString();
                v.records = bad ? 0 : 8;
                StationVisits::record(v);
            }
        }
    }
    WebService service;
    WebService::Settings settings;
    settings.address = QStringLiteral("127.0.0.1:0");
    settings.libraryFolder = args.value(2);
    QString problem;
    if (!service.start(settings, &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    std::printf("Serving on port %d\n", service.port());
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    const int status = app.exec();
    service.stop();
    return status;
}
