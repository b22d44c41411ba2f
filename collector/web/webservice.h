#pragma once

#include <QObject>
#include <QString>

#include <memory>

class StationTableModel;
class WorkerController;
class WebApi;
class WebPages;
class WebEvents;
class WebServer;
class WebStore;
class QSocketNotifier;
class QTextStream;

// The HTTP API beside the collection (headless) or on its own (serve): the
// checks that keep it safe by default, its server, its store connection and
// its status events. Lives on the main thread.
class WebService : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QString address; // HOST:PORT
        QString certificateFile, keyFile;
        int requestTimeoutMs = 10000;
        int statusPollMs = 1000;
        QString libraryFolder; // empty: where the system installs them
        QString tileUrl;
    };

    explicit WebService(QObject *parent = nullptr);
    ~WebService() override;

    // Checks the settings against the rules (loopback, or TLS and accounts),
    // opens the store connection and listens; false with a reason. The
    // station store must already be open on the default connection.
    bool start(const Settings &settings, QString *error);
    void stop();
    quint16 port() const;

    // Headless: statuses come from this controller at once, visits and
    // activations go to it.
    void attach(StationTableModel *model, WorkerController *controller);

    // Serves without collecting until SIGINT or SIGTERM; the exit status.
    static int serve(const Settings &settings, QTextStream &out, QTextStream &err);

    static bool isLoopback(const QString &host);
    // "HOST:PORT" or "[V6]:PORT"; false when it is neither.
    static bool splitAddress(const QString &text, QString *host, quint16 *port);

private:
    int visit(int stationId);
    int setActive(int stationId, bool active);

    std::unique_ptr<WebStore> store;
    std::unique_ptr<WebEvents> events;
    std::unique_ptr<WebApi> api;
    std::unique_ptr<WebPages> pages;
    std::unique_ptr<WebServer> server;
    StationTableModel *model = nullptr;
    WorkerController *controller = nullptr;
};
