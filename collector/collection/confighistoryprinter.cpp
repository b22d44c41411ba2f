#include "confighistoryprinter.h"

#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/workfolder.h"

#include <QDir>
#include <QJsonDocument>
#include <QLocale>
#include <QTextStream>

int ConfigHistoryPrinter::print(const QString &code, bool json)
{
    const WorkFolder &folder = WorkFolder::current();
    const DatabaseUrl url = DatabaseUrl::current().isValid() ? DatabaseUrl::current()
                                                             : DatabaseUrl::sqlite(folder.databaseFile());
    DatabaseConnection database;
    if (!database.open(url)) {
        err << "Could not connect to database: " << DatabaseConnection::lastOpenError() << Qt::endl;
        DatabaseConnection::close();
        return 1;
    }
    int status = 0;
    {
        const QList<DBStation> stations = DatabaseConnection::selectStations();
        const auto found = std::find_if(stations.cbegin(), stations.cend(),
                                        [&](const DBStation &s) { return s.code == code; });
        QList<ConfigHistory::Entry> entries;
        if (found == stations.cend()) {
            err << "No station with the code " << code << "." << Qt::endl;
            status = 3;
        } else if (!ConfigHistory().entries(found->id, &entries)) {
            err << "Could not read the configuration history." << Qt::endl;
            status = 1;
        } else if (json) {
            out << QJsonDocument(ConfigHistory::toJson(code, entries)).toJson(QJsonDocument::Indented);
        } else {
            for (int i = 0; i < entries.size(); ++i) {
                const ConfigHistory::Entry &e = entries.at(i);
                out << QLocale::c().toString(e.firstSeen, QStringLiteral("yyyy-MM-dd hh:mm:ss")) << '\t'
                    << e.source << '\t' << e.actor;
                if (e.unexplained)
                    out << "\tchanged at the station";
                out << '\n';
                for (auto it = e.outcome.constBegin(); it != e.outcome.constEnd(); ++it)
                    out << "  " << it.key() << ": " << it.value().toString() << '\n';
                for (const ConfigChange &c : ConfigHistory::changesOf(entries, i))
                    out << "  " << c.record << ' ' << c.describe() << '\n';
            }
        }
        out.flush();
    }
    DatabaseConnection::close();
    return status;
}
