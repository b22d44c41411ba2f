#pragma once

#include <QString>

#include <memory>

class QCoreApplication;
class Questions;

// The desktop program's start-up: the application, its look and language,
// the data directory, the database and the main window.
namespace Startup {

// A QApplication, unless the arguments ask for a mode without windows
// (--headless, --once, --add-station, help, version): those get a
// QCoreApplication and so run where there is no display.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv);

// The language start-up loads: "lang" of the configuration file, else
// "SETTINGS/lang" of the working folder's settings.ini when set, otherwise
// "tr_tr".
QString startupLanguage();

// Installs the program's translation `language` (e.g. "tr_tr") from
// `directory` and Qt's own for the same language (from `directory`/qt, else
// Qt's), so standard buttons and dialogs match. False when the program's
// translation did not load.
bool installTranslation(const QString &language, const QString &directory);

// Sets the look, the names and the translation, creates the data folder,
// opens the database (all from the working folder, classically ../style,
// ../lang, ../data/data.db) and runs the main window; the exit code of its
// event loop, or 1 (after a message box) when the database cannot be opened.
int runMainWindow(Questions *questions);

} // namespace Startup
