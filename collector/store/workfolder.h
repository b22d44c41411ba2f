#pragma once

// Where the collector keeps its database, its settings, its translations and
// its style sheets. Run from a folder laid out the classic way (settings.ini
// in the working folder, ../data, ../lang and ../style beside it, as in a
// copied installation or the build tree), it keeps that layout; the
// program's own folder counts too, for a copy started from elsewhere. Given a
// working folder (--workdir or TQM510_WORKDIR), that folder plays the
// program's part: DIR/settings.ini, DIR/data, DIR/lang, DIR/style. Otherwise
// (an installed program started from anywhere) the user's data folder does.

#include <QString>

class WorkFolder
{
public:
    enum Kind { Classic, Explicit, UserData };

    // option: --workdir's value (empty when not given); environment:
    // TQM510_WORKDIR's; programDir: the executable's folder; installedData:
    // where the package put the shared translations and style sheets
    // (fallbacks).
    static WorkFolder resolve(const QString &option, const QString &environment, const QString &programDir,
                              const QString &installedData);

    // The folder chosen for this process (set once at start-up; until then
    // the classic layout relative to the current working folder).
    static const WorkFolder &current();
    static void setCurrent(const WorkFolder &folder);

    Kind kind() const { return m_kind; }
    QString root() const { return m_root; }
    QString settingsFile() const;
    QString dataDir() const;
    QString databaseFile() const;
    // Default parent of new stations' data folders.
    QString filesDir() const;
    // A station's data folder as stored (file_path): a relative one lies in
    // the working folder, whatever folder the process was started from
    // (the classic layout set up by no one: the current folder, as ever).
    static QString stationDir(const QString &filePath);
    QString resolveStationDir(const QString &filePath) const;
    // The folder's own lang/ and style/; when it has none, the ones beside
    // the program's folder (../lang, ../style), then the installed ones.
    QString langDir() const;
    QString styleDir() const;
    // One line for --help and the log: which folder is in use and why.
    QString describe() const;

private:
    QString own(const QString &name) const;
    QString sharedDir(const QString &name) const;

    Kind m_kind = Classic;
    QString m_root; // Classic: the working folder (empty: whichever is current); otherwise the folder itself
    QString m_installedData;
    QString m_programDir;
};
