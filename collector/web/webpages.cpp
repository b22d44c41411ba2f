#include "webpages.h"

#include "weblogging.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The library files the pages use; nothing else of the folder is served.
const char *const libraryFiles[] = {"dygraphs/dygraph.min.js", "dygraphs/dygraph.min.css",
                                    "leaflet/leaflet.js", "leaflet/leaflet.css"};

QByteArray typeOf(const QString &name)
{
    if (name.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return "text/html; charset=utf-8";
}

QString html(const QString &text)
{
    return text.toHtmlEscaped();
}

// Minutes between a data file's wall-clock time and now, or -1.
qint64 ageMinutes(const QString &time)
{
    const QDateTime t = QDateTime::fromString(time, QStringLiteral("yyyy-MM-ddTHH:mm"));
    return t.isValid() ? t.secsTo(QDateTime::currentDateTime()) / 60 : -1;
}

QString ageText(qint64 minutes, bool turkish)
{
    if (minutes < 0)
        return QStringLiteral("–");
    if (minutes < 120)
        return QStringLiteral("%1 %2").arg(minutes).arg(turkish ? QStringLiteral("dk")
                                                                : QStringLiteral("min"));
    if (minutes < 48 * 60)
        return QStringLiteral("%1 %2")
            .arg(minutes / 60)
            .arg(turkish ? QStringLiteral("sa") : QStringLiteral("h"));
    return QStringLiteral("%1 %2")
        .arg(minutes / 1440)
        .arg(turkish ? QStringLiteral("g") : QStringLiteral("d"));
}

} // namespace

QByteArray WebPages::tileOrigin(const QString &tileUrl)
{
    // "{s}" at the start of the host stands for the servers' letters.
    QString text = tileUrl;
    const bool anyServer = text.contains(QLatin1String("://{"));
    text.replace(QRegularExpression(QStringLiteral("\\{[a-z]+\\}")), QStringLiteral("a"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) ||
        url.host().isEmpty())
        return QByteArray();
    QString origin = url.scheme() + QLatin1String("://") +
                     (anyServer ? QLatin1String("*.") + url.host().section(QLatin1Char('.'), 1) : url.host());
    if (url.port() > 0)
        origin += QLatin1Char(':') + QString::number(url.port());
    return origin.toLatin1();
}

WebResponse WebPages::handle(const WebRequest &request, const WebHandler &api) const
{
    const QString &path = request.path;
    if (request.method != QLatin1String("GET") && request.method != QLatin1String("HEAD")) {
        WebResponse r = WebResponse::error(405, QStringLiteral("method not allowed"));
        r.addHeader("Allow", "GET");
        return r;
    }
    if (path == QLatin1String("/") || path == QLatin1String("/index.html"))
        return page(QStringLiteral("overview.html"));
    if (path == QLatin1String("/map") || path == QLatin1String("/station") || path == QLatin1String("/login"))
        return page(path.mid(1) + QLatin1String(".html"));
    if (path == QLatin1String("/field"))
        return field(request, api);
    // Browsers ask for it on their own, whatever the page names.
    if (path == QLatin1String("/favicon.ico"))
        return page(QStringLiteral("favicon.svg"));
    if (path == QLatin1String("/settings.js")) {
        // The page's settings as a script, since no inline script may run.
        WebResponse r;
        r.contentType = typeOf(path);
        r.body = "window.dashboardSettings = " +
                 QJsonDocument(QJsonObject{{QStringLiteral("tileUrl"), options.tileUrl}})
                     .toJson(QJsonDocument::Compact) +
                 ";\n";
        return r;
    }
    if (path.startsWith(QLatin1String("/static/"))) {
        const QString name = path.mid(8);
        if (!name.contains(QLatin1Char('/')))
            return page(name);
    }
    if (path.startsWith(QLatin1String("/lib/")))
        return library(path.mid(5));
    return WebResponse::error(404, QStringLiteral("no such page"));
}

WebResponse WebPages::page(const QString &name) const
{
    QFile file(QStringLiteral(":/web/pages/") + name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return WebResponse::error(404, QStringLiteral("no such page"));
    WebResponse r;
    r.contentType = typeOf(name);
    r.body = file.readAll();
    return r;
}

WebResponse WebPages::library(const QString &path) const
{
    for (const char *known : libraryFiles) {
        if (path != QLatin1String(known))
            continue;
        QFile file(options.libraryFolder + QLatin1Char('/') + path);
        if (!file.open(QIODevice::ReadOnly)) {
            qCDebug(lcWeb, "cannot read %s", qUtf8Printable(file.fileName()));
            return WebResponse::error(404, QStringLiteral("library not installed"));
        }
        WebResponse r;
        r.contentType = typeOf(path);
        r.body = file.read(4 << 20);
        return r;
    }
    return WebResponse::error(404, QStringLiteral("no such file"));
}

WebResponse WebPages::field(const WebRequest &request, const WebHandler &api) const
{
    WebRequest list = request;
    list.path = list.rawPath = QStringLiteral("/api/v1/stations");
    list.query.clear();
    const WebResponse answer = api(list);
    if (answer.status == 401) {
        WebResponse r;
        r.status = 303;
        r.addHeader("Location", "/login?next=field");
        return r;
    }
    if (answer.status != 200)
        return answer;
    // The pages pass their language on; without, the browser's.
    const QString language = request.query.value(QStringLiteral("lang"));
    const bool turkish = language.isEmpty()
                             ? request.header("accept-language").startsWith(QLatin1String("tr"))
                             : language == QLatin1String("tr");
    const auto t = [turkish](const char *en, const char *tr) {
        return turkish ? QString::fromUtf8(tr) : QString::fromUtf8(en);
    };
    const QJsonArray stations =
        QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("stations")).toArray();
    QString out;
    out.reserve(256 + stations.size() * 200);
    out += QStringLiteral("<!DOCTYPE html><html lang=\"%1\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                          "<meta http-equiv=\"refresh\" content=\"60\"><title>%2</title>"
                          "<link rel=\"icon\" href=\"/static/favicon.svg\" type=\"image/svg+xml\">"
                          "<link rel=\"stylesheet\" href=\"/static/field.css\"></head><body><h1>%2</h1>"
                          "<p>%3</p><ul>")
               .arg(turkish ? QStringLiteral("tr") : QStringLiteral("en"), t("Stations", "İstasyonlar"),
                    html(QLocale::c().toString(QDateTime::currentDateTime(),
                                               QStringLiteral("yyyy-MM-dd HH:mm"))));
    // The latest values of the first stations; a field phone needs few.
    int detailed = 0;
    for (const QJsonValue &v : stations) {
        const QJsonObject s = v.toObject();
        const bool active = s.value(QStringLiteral("active")).toBool();
        const bool failing = !s.value(QStringLiteral("error")).isNull();
        const QString cls = !active   ? QStringLiteral("off")
                            : failing ? QStringLiteral("bad")
                                      : QStringLiteral("ok");
        // Long texts cut, whole in the tooltip: a phone's page stays narrow.
        const auto cut = [](const QString &text, int max) {
            return text.size() > max ? QStringLiteral("<span title=\"%1\">%2…</span>")
                                           .arg(html(text), html(text.left(max - 1)))
                                     : html(text);
        };
        out += QStringLiteral("<li class=\"%1\"><b>%2</b> %3<br>%4 · %5 %6")
                   .arg(cls, cut(s.value(QStringLiteral("code")).toString(), 40),
                        cut(s.value(QStringLiteral("title")).toString(), 80),
                        cut(s.value(QStringLiteral("status")).toString(), 120), t("data", "veri"),
                        ageText(ageMinutes(s.value(QStringLiteral("newestValue")).toString()), turkish));
        if (detailed < 100) {
            ++detailed;
            WebRequest one = list;
            one.path = QStringLiteral("/api/v1/stations/") + s.value(QStringLiteral("code")).toString();
            one.rawPath = QStringLiteral("/api/v1/stations/") +
                          QUrl::toPercentEncoding(s.value(QStringLiteral("code")).toString());
            const WebResponse d = api(one);
            const QJsonArray latest =
                QJsonDocument::fromJson(d.body).object().value(QStringLiteral("latest")).toArray();
            for (const QJsonValue &l : latest) {
                const QJsonObject o = l.toObject();
                if (o.value(QStringLiteral("sensorError")).toBool()) {
                    out += QStringLiteral("<br>%1: <i>%2</i>")
                               .arg(cut(o.value(QStringLiteral("name")).toString(), 40),
                                    t("sensor error", "sensör hatası"));
                    continue;
                }
                out += QStringLiteral("<br>%1: %2 %3")
                           .arg(cut(o.value(QStringLiteral("name")).toString(), 40),
                                html(o.value(QStringLiteral("value")).toVariant().toString()),
                                cut(o.value(QStringLiteral("unit")).toString(), 20));
            }
        }
        out += QLatin1String("</li>");
    }
    out += QLatin1String("</ul></body></html>");
    WebResponse r;
    r.contentType = typeOf(QString());
    r.body = out.toUtf8();
    return r;
}
