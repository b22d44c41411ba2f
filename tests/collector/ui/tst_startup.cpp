#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "support/scriptedquestions.h"
#include "ui/collectorsettings.h"
#include "ui/mainwindow.h"
#include "ui/settingsdialog.h"
#include "ui/startup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDomDocument>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void databaseFailureShowsTheBoxAndExitsWithOne();
    void startUpInOrderThenQuit();
    void translationCoversTheMainWindow();
    void everyTextHasItsTurkishTranslation();
    void libraryTextsAndStatusesInBothLanguages();
    void windowlessModesNeedNoDisplay();
    void settingsOkFromAnotherFolderKeepsTheStations();

private:
    static QString buildLang() { return qEnvironmentVariable("NEXIL_BUILD_DIR") + QStringLiteral("/lang"); }

    QString oldCwd;
};

void tst_Startup::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    oldCwd = QDir::currentPath();
    QVERIFY2(QFile::exists(buildLang() + QStringLiteral("/tr_tr.qm")), qPrintable(buildLang()));
}

void tst_Startup::cleanup()
{
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    qApp->setStyleSheet(QString());
    QDir::setCurrent(oldCwd);
    WorkFolder::setCurrent(WorkFolder());
}

void tst_Startup::databaseFailureShowsTheBoxAndExitsWithOne()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bin")));
    // "../data" is taken by a plain file: no directory, no database.
    QFile blocker(dir.filePath(QStringLiteral("data")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(QDir::setCurrent(dir.filePath(QStringLiteral("bin"))));

    ScriptedQuestions questions;
    questions.answer(QMessageBox::Ok);
    QCOMPARE(Startup::runMainWindow(&questions), 1);
    QCOMPARE(questions.asked.size(), 1);
    QCOMPARE(questions.last().icon, QMessageBox::Critical);
    QCOMPARE(questions.last().title, QStringLiteral("Database Error"));
    // Which database and why, so that the operator can act on it.
    const QString text = questions.last().text;
    QVERIFY2(text.startsWith(QStringLiteral("Could not connect to database.\n\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("data.db")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("could not be created")), qPrintable(text));
    QCOMPARE(questions.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY(!qobject_cast<MainWindow *>(w));
}

void tst_Startup::startUpInOrderThenQuit()
{
    QTemporaryDir dir;
    QDir root(dir.path());
    QVERIFY(root.mkdir(QStringLiteral("bin")) && root.mkdir(QStringLiteral("style")) &&
            root.mkdir(QStringLiteral("lang")));
    QVERIFY(QFile::copy(buildLang() + QStringLiteral("/tr_tr.qm"),
                        root.filePath(QStringLiteral("lang/tr_tr.qm"))));
    // The sheet ends at its first NUL byte.
    QFile sheet(root.filePath(QStringLiteral("style/default.qss")));
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write(QByteArray("QToolBar { spacing: 7px; }\0QLabel { color: red; }", 50));
    sheet.close();
    QVERIFY(QDir::setCurrent(root.filePath(QStringLiteral("bin"))));

    ScriptedQuestions questions;
    questions.answer(QMessageBox::Yes);
    QString styleName, styleSheet, displayName, startText;
    QSize size;
    bool sawWindow = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<MainWindow *>(w);
            if (!window || !window->isVisible())
                continue;
            sawWindow = true;
            styleSheet = qApp->styleSheet();
            // With a sheet the style is wrapped; without it the chosen style shows.
            qApp->setStyleSheet(QString());
            styleName = QApplication::style()->objectName();
            displayName = QGuiApplication::applicationDisplayName();
            startText = window->findChild<QAction *>(QStringLiteral("actStartCollecting"))->text();
            size = window->size();
            window->close();
        }
        if (!sawWindow)
            QCoreApplication::exit(5);
    });
    QCOMPARE(Startup::runMainWindow(&questions), 0);
    QVERIFY(sawWindow);
    QCOMPARE(styleName, QStringLiteral("fusion"));
    QCOMPARE(styleSheet, QStringLiteral("QToolBar { spacing: 7px; }"));
    QCOMPARE(displayName, QStringLiteral("Velk Data Collector"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("stc2"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.2.26"));
    QCOMPARE(startText, QStringLiteral("Toplamayı Başlat"));
    QCOMPARE(size, QSize(1024, 768));
    QCOMPARE(questions.last().title, QStringLiteral("Çıkış"));
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("data/data.db"))));
    const QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("MainWindow/size")).toSize(), QSize(1024, 768));
    QVERIFY(settings.contains(QStringLiteral("Model/enable")));
}

void tst_Startup::translationCoversTheMainWindow()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(Startup::startupLanguage(), QStringLiteral("tr_tr"));
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SETTINGS/lang"), QStringLiteral(" en_us "));
    }
    QCOMPARE(Startup::startupLanguage(), QStringLiteral("en_us"));
    QVERIFY(!Startup::installTranslation(QStringLiteral("xx_yy"), buildLang()));
    QVERIFY(Startup::installTranslation(QStringLiteral("tr_tr"), buildLang()));

    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    {
        MainWindow window;
        auto text = [&window](const char *name) {
            return window.findChild<QAction *>(QLatin1String(name))->text();
        };
        QCOMPARE(text("actStartCollecting"), QStringLiteral("Toplamayı Başlat"));
        QCOMPARE(text("actAddStation"), QStringLiteral("Yeni İstasyon Ekle"));
        QCOMPARE(text("actDeleteStation"), QStringLiteral("İstasyonu Sil"));
        QCOMPARE(text("actSettings"), QStringLiteral("Ayarlar"));
        QCOMPARE(text("actionQuit"), QStringLiteral("Çıkış"));
        // Already Turkish, stays as it is.
        QCOMPARE(text("actionGraphicFromList"), QStringLiteral("Grafik"));
        for (QAction *action : window.findChildren<QAction *>()) {
            if (action->isSeparator() || action->text().isEmpty() || action->menu())
                continue;
            const QString english = action->objectName();
            QVERIFY2(action->text() != QLatin1String("Start Collecting"), qPrintable(english));
        }
    }
    DatabaseConnection::close();
    // Qt's own buttons speak Turkish too, from a copy shipped out of the list
    // of languages the settings dialog offers.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Evet"));
    QVERIFY(QFile::exists(buildLang() + QStringLiteral("/qt/qtbase_tr.qm")));
    QCOMPARE(languageNames(buildLang()), (QStringList{QStringLiteral("en_us"), QStringLiteral("tr_tr")}));

    cleanup();
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(Startup::installTranslation(QStringLiteral("en_us"), buildLang()));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Start Collecting"),
             QStringLiteral("Start Collecting"));
}

void tst_Startup::everyTextHasItsTurkishTranslation()
{
    // Both files: the English window shows the wizard's Turkish texts in English.
    for (const char *file : {"tr_tr.ts", "en_us.ts"}) {
        QFile ts(QStringLiteral(NEXIL_SOURCE_DIR "/lang/") + QLatin1String(file));
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QDomDocument doc;
        QVERIFY(doc.setContent(&ts));
        const QDomNodeList messages = doc.elementsByTagName(QStringLiteral("message"));
        QVERIFY(messages.size() > 100);
        QStringList missing;
        for (int i = 0; i < messages.size(); ++i) {
            const QDomElement message = messages.at(i).toElement();
            const QDomElement translation = message.firstChildElement(QStringLiteral("translation"));
            if (translation.attribute(QStringLiteral("type")) == QLatin1String("unfinished") ||
                translation.text().isEmpty())
                missing << message.firstChildElement(QStringLiteral("source")).text();
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(" | "))));
    }
}

// The window shows the library's wizard, errors and upload reports and the
// statuses the workers store in English: each in the window's language.
void tst_Startup::libraryTextsAndStatusesInBothLanguages()
{
    cleanup();
    QVERIFY(Startup::installTranslation(QStringLiteral("tr_tr"), buildLang()));
    QCOMPARE(StationTableModel::shownStatus(QStringLiteral("Downloading packages 6/17")),
             QString::fromUtf8("Paketler indiriliyor 6/17"));
    QCOMPARE(StationTableModel::shownStatus(QStringLiteral("Download completed. (device clock off by 9 s)")),
             QString::fromUtf8("İndirme tamamlandı. (device clock off by 9 s)"));
    QCOMPARE(StationTableModel::shownStatus(QStringLiteral("Download completed")),
             QStringLiteral("Download completed"));
    QCOMPARE(QCoreApplication::translate("StationTableModel", "Download Data"),
             QString::fromUtf8("Veri İndir"));
    QCOMPARE(
        QCoreApplication::translate("SetupDialog", "Nothing differs from what was read from the device."),
        QString::fromUtf8("Cihazdan okunandan farklı bir şey yok."));
    QCOMPARE(QCoreApplication::translate("ConfigChange", "Alarm %1 minimum"),
             QStringLiteral("Alarm %1 minimum"));
    QCOMPARE(QCoreApplication::translate("UploadCheck", "%1 confirmed"), QString::fromUtf8("%1 doğrulandı"));

    cleanup();
    QVERIFY(Startup::installTranslation(QStringLiteral("en_us"), buildLang()));
    QCOMPARE(QCoreApplication::translate("Nexil", "İşlem zaman aşımı."),
             QStringLiteral("Operation timed out."));
    QCOMPARE(QCoreApplication::translate("SetupDialog", "Kurulum Sihirbazı"), QStringLiteral("Setup Wizard"));
    QCOMPARE(QCoreApplication::translate("SetupDialog", "Kanal İsimleri Gönderiliyor\nLütfen bekleyin.."),
             QStringLiteral("Sending the Channel Names\nPlease wait.."));
    QCOMPARE(StationTableModel::shownStatus(
                 QString::fromUtf8("Okunan istasyon kodu \"X\". Okunan kod ile kayıtlı kod eşleşmiyor!")),
             QStringLiteral("The station code read is \"X\". The code read does not match the stored code!"));
}

void tst_Startup::windowlessModesNeedNoDisplay()
{
    const QString program = qEnvironmentVariable("TQM510");
    if (!QFileInfo(program).isExecutable())
        QSKIP("tqm510 is not built");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bin")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    // Its stations in the test's folder, not in the build tree beside the program.
    env.insert(QStringLiteral("TQM510_WORKDIR"), dir.path());
    auto run = [&](const QStringList &args, QByteArray *out) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.filePath(QStringLiteral("bin")));
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
            return -1;
        *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray out;
    QCOMPARE(run({QStringLiteral("--help")}, &out), 0);
    QVERIFY(out.contains("--headless"));
    QCOMPARE(run({QStringLiteral("--add-station"), QStringLiteral("X01,127.0.0.1,1")}, &out), 0);
    QVERIFY(out.contains("X01"));
    // Nothing listens on port 1: the single round ends with a failed visit.
    QCOMPARE(run({QStringLiteral("--headless"), QStringLiteral("--once")}, &out), 1);
    QVERIFY(out.contains("X01"));
    QCOMPARE(run({QStringLiteral("--once")}, &out), 2);
    // No such account: said, not a display missing.
    QCOMPARE(run({QStringLiteral("--remove-user"), QStringLiteral("nobody")}, &out), 1);
}

// A desktop start from the home folder: the working folder is elsewhere. An
// unchanged OK in the settings must neither leave a settings.ini in the
// current folder nor switch the next start to another database, nor switch
// the language.
void tst_Startup::settingsOkFromAnotherFolderKeepsTheStations()
{
    QTemporaryDir work, home;
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("data")) &&
            QDir(work.path()).mkpath(QStringLiteral("lang")));
    for (const char *name : {"tr_tr.qm", "en_us.qm"})
        QVERIFY(QFile::copy(buildLang() + QLatin1Char('/') + QLatin1String(name),
                            work.filePath(QStringLiteral("lang/")) + QLatin1String(name)));
    {
        DatabaseConnection db;
        QVERIFY(db.connectToDatabase(work.filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                     QString()));
        DBStation s;
        s.title = s.name = s.code = QStringLiteral("KEPT");
        QVERIFY(DatabaseConnection::insertStation(s) > 0);
        DatabaseConnection::close();
    }
    // Nothing beside it either: no layout of the program.
    const QDir user(home.filePath(QStringLiteral("user")));
    QVERIFY(user.mkpath(QStringLiteral(".")));
    QVERIFY(QDir::setCurrent(user.path()));

    const auto startAndPressOk = [&](QString *language) {
        WorkFolder::setCurrent(WorkFolder::resolve(QString(), QString(), QString(), QString()));
        if (WorkFolder::current().kind() != WorkFolder::UserData)
            return -2;
        WorkFolder::setCurrent(WorkFolder::resolve(work.path(), QString(), QString(), QString()));
        ScriptedQuestions questions;
        questions.answer(QMessageBox::Yes);
        int rows = -1;
        QTimer::singleShot(0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *window = qobject_cast<MainWindow *>(w);
                if (!window || !window->isVisible())
                    continue;
                window->setDialogRunner([&](QDialog *dialog) {
                    if (qobject_cast<SettingsDialog *>(dialog)) {
                        *language = dialog->findChild<QComboBox *>(QStringLiteral("cmbLanguage"))
                                        ->currentData()
                                        .toString();
                        dialog->findChild<QPushButton *>(QStringLiteral("OK"))->click();
                    }
                    return dialog->result();
                });
                window->findChild<QAction *>(QStringLiteral("actSettings"))->trigger();
                rows = window->stationModel()->rowCount();
                window->close();
            }
            if (rows < 0)
                QCoreApplication::exit(5);
        });
        const int exitCode = Startup::runMainWindow(&questions);
        return exitCode == 0 ? rows : -1;
    };
    QString language;
    QCOMPARE(startAndPressOk(&language), 1);
    QCOMPARE(language, QStringLiteral("tr_tr"));
    QVERIFY(!QFile::exists(user.filePath(QStringLiteral("settings.ini"))));
    const QSettings stored(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("SETTINGS/lang")).toString(), QStringLiteral("tr_tr"));
    // Started again from the same folder: the same database, the same station.
    QCOMPARE(startAndPressOk(&language), 1);
    QVERIFY(!QFile::exists(user.filePath(QStringLiteral("settings.ini"))));
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
