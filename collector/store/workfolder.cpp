#include "workfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Until start-up sets it: the classic layout, relative to whatever the
// working folder is at the time of each use.
WorkFolder &currentFolder()
{
    static WorkFolder folder;
    return folder;
}

// The classic layout: data/, lang/ or style/ beside the folder, or (only
// for the program's own folder) settings.ini in it. A settings.ini alone in
// the current folder proves nothing: any program may have left one there.
bool hasClassicLayout(const QDir &working, bool settingsCounts)
{
    if (settingsCounts && QFileInfo::exists(working.filePath(QStringLiteral("settings.ini"))))
        return true;
    for (const char *sibling : {"../data", "../lang", "../style"})
        if (QFileInfo(working.filePath(QLatin1String(sibling))).isDir())
            return true;
    return false;
}

} // namespace

WorkFolder WorkFolder::resolve(const QString &option, const QString &environment, const QString &programDir,
                               const QString &installedData)
{
    WorkFolder f;
    f.m_installedData = installedData;
    f.m_programDir = programDir;
    const QString given = !option.isEmpty() ? option : environment;
    if (!given.isEmpty()) {
        f.m_kind = Explicit;
        f.m_root = QDir::cleanPath(QDir(given).absolutePath());
    } else if (hasClassicLayout(QDir::current(), false)) {
        f.m_kind = Classic;
        f.m_root = QDir::currentPath();
    } else if (!programDir.isEmpty() && hasClassicLayout(QDir(programDir), true)) {
        f.m_kind = Classic;
        f.m_root = QDir::cleanPath(QDir(programDir).absolutePath());
    } else {
        f.m_kind = UserData;
        f.m_root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    return f;
}

const WorkFolder &WorkFolder::current()
{
    return currentFolder();
}

void WorkFolder::setCurrent(const WorkFolder &folder)
{
    currentFolder() = folder;
}

QString WorkFolder::own(const QString &name) const
{
    if (m_root.isEmpty())
        return QStringLiteral("../") + name;
    return m_kind == Classic ? QDir::cleanPath(m_root + QStringLiteral("/../") + name)
                             : QDir::cleanPath(m_root + QLatin1Char('/') + name);
}

QString WorkFolder::settingsFile() const
{
    if (m_root.isEmpty())
        return QStringLiteral("settings.ini");
    return QDir::cleanPath(m_root + QStringLiteral("/settings.ini"));
}

QString WorkFolder::dataDir() const
{
    return own(QStringLiteral("data"));
}

QString WorkFolder::databaseFile() const
{
    return dataDir() + QStringLiteral("/data.db");
}

QString WorkFolder::filesDir() const
{
    return own(QStringLiteral("files"));
}

QString WorkFolder::stationDir(const QString &filePath)
{
    return current().resolveStationDir(filePath);
}

QString WorkFolder::resolveStationDir(const QString &filePath) const
{
    if (filePath.isEmpty() || m_root.isEmpty() || QDir::isAbsolutePath(filePath))
        return filePath;
    return QDir::cleanPath(m_root + QLatin1Char('/') + filePath);
}

QString WorkFolder::sharedDir(const QString &name) const
{
    const QString mine = own(name);
    if (QFileInfo(mine).isDir())
        return mine;
    // A working folder given for the data alone: the program's own files.
    if (!m_programDir.isEmpty()) {
        const QString beside = QDir::cleanPath(m_programDir + QStringLiteral("/../") + name);
        if (QFileInfo(beside).isDir())
            return beside;
    }
    return m_installedData.isEmpty() ? mine : m_installedData + QLatin1Char('/') + name;
}

QString WorkFolder::langDir() const
{
    return sharedDir(QStringLiteral("lang"));
}

QString WorkFolder::styleDir() const
{
    return sharedDir(QStringLiteral("style"));
}

QString WorkFolder::describe() const
{
    switch (m_kind) {
    case Explicit:
        return QStringLiteral("Working folder %1 (given): database %2, settings %3.")
            .arg(QDir::toNativeSeparators(m_root), QDir::toNativeSeparators(databaseFile()),
                 QDir::toNativeSeparators(settingsFile()));
    case Classic:
        return QStringLiteral("Working folder %1 (the program's own layout): database %2, settings %3.")
            .arg(QDir::toNativeSeparators(m_root), QDir::toNativeSeparators(databaseFile()),
                 QDir::toNativeSeparators(settingsFile()));
    case UserData:
        break;
    }
    return QStringLiteral("Working folder %1 (the user's data folder): database %2, settings %3.")
        .arg(QDir::toNativeSeparators(m_root), QDir::toNativeSeparators(databaseFile()),
             QDir::toNativeSeparators(settingsFile()));
}
