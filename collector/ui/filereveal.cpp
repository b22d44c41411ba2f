#include "filereveal.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

// NEXIL_FILEMANAGER_DBUS: set by the build where Qt's D-Bus module is linked.
#ifdef NEXIL_FILEMANAGER_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#endif

namespace FileReveal {

namespace {

void openFolder(const QString &folder, const std::function<void(const QString &)> &failed)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath())) && failed)
        failed(QCoreApplication::translate("FileReveal", "No program to show folders could be started."));
}

} // namespace

void reveal(const QString &folder, const QString &file, QObject *owner,
            std::function<void(const QString &reason)> failed)
{
#if defined(Q_OS_WIN)
    auto *explorer = new QProcess(owner);
    QObject::connect(explorer, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), explorer,
                     &QObject::deleteLater);
    QObject::connect(explorer, &QProcess::errorOccurred, explorer,
                     [explorer, failed](QProcess::ProcessError) {
                         if (failed)
                             failed(explorer->errorString());
                         explorer->deleteLater();
                     });
    const QStringList args = file.isEmpty()
                                 ? QStringList{QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath())}
                                 : QStringList{QStringLiteral("/select,"), QDir::toNativeSeparators(file)};
    explorer->start(QStringLiteral("explorer.exe"), args);
#elif defined(NEXIL_FILEMANAGER_DBUS)
    // The freedesktop file manager interface selects the file; without a
    // file manager on the bus the folder is opened instead.
    const bool select = !file.isEmpty();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"),
        select ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"));
    const QString target = select ? file : QFileInfo(folder).absoluteFilePath();
    call << QStringList{QUrl::fromLocalFile(target).toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder, failed);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder, failed](QDBusPendingCallWatcher *w) {
                         if (w->isError())
                             openFolder(folder, failed);
                         w->deleteLater();
                     });
#else
    Q_UNUSED(file)
    Q_UNUSED(owner)
    openFolder(folder, failed);
#endif
}

} // namespace FileReveal
