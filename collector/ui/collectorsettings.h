#pragma once

// The SETTINGS group of settings.ini: the look chosen in the settings dialog
// and the defaults a new station starts with.

#include <QString>
#include <QStringList>

// Where new stations keep their files unless the settings say otherwise:
// the working folder's files/, where the service can write (each station
// gets its code's folder in it).
QString defaultStationDirectory();

// The directory choosers open here: the first drive on Windows, "/" elsewhere.
QString directoryChooserStart();

struct CollectorSettings
{
    QString style = QStringLiteral("Fusion");
    QString styleSheet = QStringLiteral("default");
    QString fontFamily = QStringLiteral("MS Shell Dlg 2");
    int fontSize = 8;
    QString defaultPath = defaultStationDirectory();
    bool exportToText = true;
    bool exportToExcel = true;
    QString language = QStringLiteral("en_us");

    // Missing keys take the defaults above; stored texts are read with their
    // blanks simplified, a size that is not a positive number reads as 8.
    static CollectorSettings load(const QString &fileName = iniFile());
    // Writes every key and syncs the file; false when it could not be written.
    bool save(const QString &fileName = iniFile()) const;

    // The working folder's settings.ini, whatever the current folder is.
    static QString iniFile();
};

// The style sheets "<name>.qss" in `styleDirectory` and the translations
// "<name>.qm" in `languageDirectory`, by base name in name order; empty when
// the directory is missing.
QStringList styleSheetNames(const QString &styleDirectory);
QStringList languageNames(const QString &languageDirectory);

// The style's name as the style factory knows it: "QFusionStyle" -> "Fusion".
QString styleName(const QString &styleClassName);
