#pragma once

#include "webhttp.h"

#include <QString>

// The dashboard's pages beside the API: static pages whose scripts read the
// API, the script-free field view written here, and the chart and map
// libraries served from where the system installs them.
class WebPages
{
public:
    struct Options
    {
        QString libraryFolder = QStringLiteral("/usr/share/javascript");
        QString tileUrl; // empty: the map draws points on a plain background
    };

    explicit WebPages(Options options) : options(std::move(options)) {}

    // Answers the paths outside the API; api answers the API's own
    // requests (with the caller's session) for the field view.
    WebResponse handle(const WebRequest &request, const WebHandler &api) const;

    // The origin of the tile server, for the Content-Security-Policy.
    static QByteArray tileOrigin(const QString &tileUrl);

private:
    WebResponse page(const QString &name) const;
    WebResponse library(const QString &path) const;
    WebResponse field(const WebRequest &request, const WebHandler &api) const;

    Options options;
};
