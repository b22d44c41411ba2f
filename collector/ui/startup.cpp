#include "startup.h"

#include "collection/serviceconfig.h"
#include "collection/visitstore.h"
#include "mainwindow.h"
#include "questions.h"
#include "store/databaseconnection.h"
#include "store/workfolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace Startup {

std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv)
{
    static const QStringList windowless{
        QStringLiteral("headless"),       QStringLiteral("once"),    QStringLiteral("add-station"),
        QStringLiteral("help"),           QStringLiteral("h"),       QStringLiteral("?"),
        QStringLiteral("help-all"),       QStringLiteral("version"), QStringLiteral("v"),
        QStringLiteral("status"),         QStringLiteral("json"),    QStringLiteral("metrics-file"),
        QStringLiteral("config-history"), QStringLiteral("serve"),   QStringLiteral("add-user"),
        QStringLiteral("remove-user")};
    for (int i = 1; i < argc; ++i) {
        QString arg = QString::fromLocal8Bit(argv[i]);
        if (!arg.startsWith(QLatin1Char('-')))
            continue;
        arg = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (windowless.contains(arg))
            return std::make_unique<QCoreApplication>(argc, argv);
    }
    return std::make_unique<QApplication>(argc, argv);
}

QString startupLanguage()
{
    const QSettings settings(WorkFolder::current().settingsFile(), QSettings::IniFormat);
    const QString language =
        ServiceConfig::current().setting(settings, QStringLiteral("lang")).toString().simplified();
    return language.isEmpty() ? QStringLiteral("tr_tr") : language;
}

bool installTranslation(const QString &language, const QString &directory)
{
    auto *program = new QTranslator(QCoreApplication::instance());
    const bool loaded = program->load(language, directory);
    if (loaded)
        QCoreApplication::installTranslator(program);
    else
        delete program;

    // Qt's own texts: shipped beside the program's, else where Qt keeps them.
    const QString qtName = QStringLiteral("qtbase_") + language.section(QLatin1Char('_'), 0, 0);
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(qtName, directory) ||
        qt->load(qtName, QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return loaded;
}

int runMainWindow(Questions *questions)
{
    QApplication::setStyle(QStringLiteral("fusion"));
    const WorkFolder &folder = WorkFolder::current();
    QFile sheet(folder.styleDir() + QStringLiteral("/default.qss"));
    if (sheet.open(QIODevice::ReadOnly)) {
        QByteArray text = sheet.readAll();
        const int nul = text.indexOf('\0');
        if (nul >= 0)
            text.truncate(nul);
        qApp->setStyleSheet(QString::fromUtf8(text));
    }
    QApplication::setApplicationDisplayName(QStringLiteral("Velk Data Collector"));
    QCoreApplication::setApplicationName(QStringLiteral("stc2"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.26"));
    // Said, not silently dropped: the window would come up in its source texts.
    if (!installTranslation(startupLanguage(), folder.langDir()))
        qWarning("tqm510: no translation %s in %s; the window shows its source texts",
                 qUtf8Printable(startupLanguage()),
                 qUtf8Printable(QDir::toNativeSeparators(folder.langDir())));
    if (!QFileInfo::exists(folder.styleDir() + QStringLiteral("/default.qss")))
        qWarning("tqm510: no style sheet in %s", qUtf8Printable(QDir::toNativeSeparators(folder.styleDir())));

    const bool madeDataDir = QDir(folder.dataDir()).exists() || QDir().mkpath(folder.dataDir());
    const DatabaseUrl url = DatabaseUrl::current().isValid() ? DatabaseUrl::current()
                                                             : DatabaseUrl::sqlite(folder.databaseFile());
    DatabaseConnection database;
    if (!database.open(url)) {
        // Which store and why: the operator must be able to act on it.
        QString reason = DatabaseConnection::lastOpenError();
        if (!madeDataDir && url.kind() == DatabaseUrl::SQLite)
            reason = QCoreApplication::translate("main", "the folder %1 could not be created")
                         .arg(QDir::toNativeSeparators(folder.dataDir()));
        questions->critical(
            nullptr, QCoreApplication::translate("main", "Database Error"),
            QCoreApplication::translate("main", "Could not connect to database.") + QStringLiteral("\n\n") +
                QCoreApplication::translate("main", "Database: %1\nReason: %2")
                    .arg(url.kind() == DatabaseUrl::SQLite ? QDir::toNativeSeparators(url.path())
                                                           : url.redacted(),
                         reason));
        DatabaseConnection::close();
        return 1;
    }

    int exitCode = 0;
    {
        MainWindow window;
        window.setQuestions(questions);
        window.show();
        exitCode = QApplication::exec();
    }
    VisitStore::shutdown();
    DatabaseConnection::close();
    return exitCode;
}

} // namespace Startup
