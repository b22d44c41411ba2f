// Linked into every test: each test process runs in a home of its own, so no
// test reads or writes the user's files (QtProject.conf, settings, caches),
// and Qt's standard paths are in test mode.

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

void isolateHome()
{
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/nexil-test-home-XXXXXX"));
    if (!home.isValid())
        qFatal("Cannot make a temporary home: %s", qPrintable(home.errorString()));
    const QString root = home.path();
    qputenv("HOME", QFile::encodeName(root));
    const struct
    {
        const char *variable;
        const char *folder;
    } folders[] = {{"XDG_CONFIG_HOME", ".config"},
                   {"XDG_DATA_HOME", ".local/share"},
                   {"XDG_CACHE_HOME", ".cache"},
                   {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto &f : folders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(f.folder);
        QDir().mkpath(path);
        qputenv(f.variable, QFile::encodeName(path));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(isolateHome)
