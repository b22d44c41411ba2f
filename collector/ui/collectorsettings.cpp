#include "collectorsettings.h"

#include "store/workfolder.h"

#include <QDir>
#include <QSettings>

QString defaultStationDirectory()
{
    return WorkFolder::current().filesDir();
}

QString CollectorSettings::iniFile()
{
    return WorkFolder::current().settingsFile();
}

QString directoryChooserStart()
{
    return QDir::rootPath();
}

namespace {

QString text(const QSettings &settings, const char *key, const QString &fallback)
{
    return settings.value(QLatin1String(key), fallback).toString().simplified();
}

} // namespace

CollectorSettings CollectorSettings::load(const QString &fileName)
{
    const QSettings settings(fileName, QSettings::IniFormat);
    CollectorSettings s;
    s.style = text(settings, "SETTINGS/style", s.style);
    s.styleSheet = text(settings, "SETTINGS/styleSheet", s.styleSheet);
    s.fontFamily = text(settings, "SETTINGS/fontfamily", s.fontFamily);
    bool ok = false;
    const int size = text(settings, "SETTINGS/fontsize", QString::number(s.fontSize)).toInt(&ok);
    if (ok && size > 0)
        s.fontSize = size;
    s.defaultPath = text(settings, "SETTINGS/defaultpath", s.defaultPath);
    s.exportToText = settings.value(QStringLiteral("SETTINGS/exportToText"), s.exportToText).toBool();
    s.exportToExcel = settings.value(QStringLiteral("SETTINGS/exportToExcel"), s.exportToExcel).toBool();
    s.language = text(settings, "SETTINGS/lang", s.language);
    return s;
}

bool CollectorSettings::save(const QString &fileName) const
{
    QSettings settings(fileName, QSettings::IniFormat);
    settings.setValue(QStringLiteral("SETTINGS/style"), style);
    settings.setValue(QStringLiteral("SETTINGS/styleSheet"), styleSheet);
    settings.setValue(QStringLiteral("SETTINGS/fontfamily"), fontFamily);
    settings.setValue(QStringLiteral("SETTINGS/fontsize"), fontSize);
    settings.setValue(QStringLiteral("SETTINGS/defaultpath"), defaultPath.simplified());
    settings.setValue(QStringLiteral("SETTINGS/exportToText"), exportToText);
    settings.setValue(QStringLiteral("SETTINGS/exportToExcel"), exportToExcel);
    settings.setValue(QStringLiteral("SETTINGS/lang"), language);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

namespace {

QStringList baseNames(const QString &directory, const QString &pattern)
{
    QStringList names;
    const QFileInfoList files = QDir(directory).entryInfoList({pattern}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files)
        names << file.completeBaseName();
    return names;
}

} // namespace

QStringList styleSheetNames(const QString &styleDirectory)
{
    return baseNames(styleDirectory, QStringLiteral("*.qss"));
}

QStringList languageNames(const QString &languageDirectory)
{
    return baseNames(languageDirectory, QStringLiteral("*.qm"));
}

QString styleName(const QString &styleClassName)
{
    if (styleClassName.size() <= 6)
        return QString();
    return styleClassName.mid(1, styleClassName.size() - 6);
}
