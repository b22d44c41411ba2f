#include "../common/stationfixtures.h"
#include "collection/workercontroller.h"
#include "nexil/excel/datafilewriter.h"
#include "store/channelchecks.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/stationtablemodel.h"
#include "store/visitcommit.h"
#include "support/postgresserver.h"
#include "support/scriptedquestions.h"
#include "ui/alarmfollower.h"
#include "ui/dialoggraphic.h"
#include "ui/editstationdialog.h"
#include "ui/mainwindow.h"
#include "ui/manualconnection.h"
#include "ui/stationfiltermodel.h"
#include "uievents.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

#include <memory>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartThenRestartKeepsTheLayout();
    void unreadableHeaderStateFallsBackToDefaults();
    void sortedTableActsOnTheCurrentStation();
    void deletionAsksAndRemovesFromTableAndDatabase();
    void doubleClickTogglesActive();
    void lastVisibleColumnCannotBeHidden();
    void contextMenuOnStationAndOnEmptySpace();
    void openDirectoryShowsTheFirstDataFile();
    void chartOfAStationOpensItsNewestFile();
    void addingAStationThroughTheEditorRecounts();
    void settingsDialogRunsWithTheWindowsQuestions();
    void startAndPauseCollecting();
    void closingAsksAndStopsTheWorkers();
    void manualConsoleOpensForAStationOrBlank();
    void sixtyStationsShowTheFailingOnesReadably();
    void toolBarActsOnlyOnASelectedRowAndSaysWhatFailed();
    void valueAlarmColoursTheRowAndTheChartDrawsItsLimits();
    void alarmsAnotherCollectorRaisesShowOnASharedStore();

private:
    int addStation(const QString &tag, bool active, const QString &title = QString());
    void openWindow();
    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QAction *action(const char *name) const { return child<QAction>(name); }
    QTableView *table() const { return child<QTableView>("tableView"); }
    QHeaderView *header() const { return table()->horizontalHeader(); }
    // The view row showing the station with this id.
    int viewRow(int id) const;
    QList<int> storedIds() const;
    bool storedActive(int id) const;
    QMenu *headerMenu();

    std::unique_ptr<QTemporaryDir> dir;
    QString oldCwd;
    std::unique_ptr<MainWindow> window;
    ScriptedQuestions questions;
    // The class of each dialog run, in order (they are gone once they ran).
    QStringList dialogs;
    std::function<int(QDialog *)> onDialog;
    QStringList revealed;
};

void tst_MainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    registerDBStation();
}

void tst_MainWindow::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    questions = ScriptedQuestions();
    dialogs.clear();
    onDialog = [](QDialog *) { return int(QDialog::Rejected); };
    revealed.clear();
}

void tst_MainWindow::cleanup()
{
    window.reset();
    DatabaseConnection::close();
    QDir::setCurrent(oldCwd);
    dir.reset();
}

int tst_MainWindow::addStation(const QString &tag, bool active, const QString &title)
{
    DBStation s = fullStation(tag);
    s.active = active;
    s.has_error = false;
    if (!title.isEmpty())
        s.title = title;
    s.file_path = dir->filePath(tag);
    // Nothing listens here: workers never reach a device in these tests.
    s.ip = QStringLiteral("127.0.0.1");
    s.port = 1;
    return DatabaseConnection::insertStation(s);
}

void tst_MainWindow::openWindow()
{
    window = std::make_unique<MainWindow>();
    window->setQuestions(&questions);
    window->setDialogRunner([this](QDialog *dialog) {
        dialogs.append(QLatin1String(dialog->metaObject()->className()));
        return onDialog(dialog);
    });
    window->setFileRevealer(
        [this](const QString &folder, const QString &file) { revealed << folder + QLatin1Char('|') + file; });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

int tst_MainWindow::viewRow(int id) const
{
    QAbstractItemModel *view = table()->model();
    for (int row = 0; row < view->rowCount(); ++row) {
        if (view->index(row, 0).data().toInt() == id)
            return row;
    }
    return -1;
}

QList<int> tst_MainWindow::storedIds() const
{
    QList<int> ids;
    QSqlQuery q(QStringLiteral("SELECT id FROM stations ORDER BY id"));
    while (q.next())
        ids << q.value(0).toInt();
    return ids;
}

bool tst_MainWindow::storedActive(int id) const
{
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT active FROM stations WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() && q.next() && q.value(0).toBool();
}

QMenu *tst_MainWindow::headerMenu()
{
    QMetaObject::invokeMethod(window.get(), "showHeaderMenu", Q_ARG(QPoint, QPoint(5, 5)));
    return window->findChild<QMenu *>(QStringLiteral("headerMenu"));
}

void tst_MainWindow::firstStartThenRestartKeepsTheLayout()
{
    addStation(QStringLiteral("A"), true);
    addStation(QStringLiteral("B"), false);
    QVERIFY(!QFile::exists(QStringLiteral("settings.ini")));
    openWindow();

    QCOMPARE(window->size(), QSize(1024, 768));
    QCOMPARE(window->pos(), QPoint(0, 0));
    QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(window->findChild<QToolBar *>()->windowTitle(), QStringLiteral("Main Toolbar"));
    // Stations stand in the order they were added.
    QCOMPARE(header()->sortIndicatorSection(), 0);
    QCOMPARE(header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(table()->model()->index(0, 3).data().toString(), QStringLiteral("CODEA"));
    QVERIFY(!action("actStartCollecting")->isChecked());
    QList<int> hidden;
    for (int column = 0; column < StationTableModel::ColumnCount; ++column) {
        if (header()->isSectionHidden(column))
            hidden << column;
    }
    QList<int> expected{0, 2};
    for (int column = 22; column <= 43; ++column)
        expected << column;
    QCOMPARE(hidden, expected);
    QCOMPARE(table()->model()->headerData(44, Qt::Horizontal).toString(), QStringLiteral("Doluluk Oranı"));
    QCOMPARE(child<QLabel>("lblCount")->text(), QStringLiteral("<html><body><b>Count</b>: 2</body></html>"));
    // The rows' text on the rows' background: readable without a style sheet.
    QVERIFY(
        child<QLabel>("lblActive")
            ->text()
            .contains(QStringLiteral("color:#FFFFFF;background-color:#008080;'>&nbsp;<b>Active</b> : 1")));
    QVERIFY(
        child<QLabel>("lblInactive")
            ->text()
            .contains(QStringLiteral("color:#999999;background-color:#F0F0F0;'>&nbsp;<b>Inactive</b> : 1")));
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : 0")));

    // Change the layout, then start again.
    window->resize(900, 600);
    window->move(30, 40);
    header()->showSection(0);
    header()->hideSection(9);
    header()->moveSection(header()->visualIndex(3), 0);
    table()->sortByColumn(3, Qt::DescendingOrder);
    window.reset();
    QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("MainWindow/size")).toSize(), QSize(900, 600));
    QCOMPARE(settings.value(QStringLiteral("MainWindow/maximized")).toBool(), false);

    openWindow();
    QCOMPARE(window->size(), QSize(900, 600));
    QCOMPARE(window->pos(), QPoint(30, 40));
    QVERIFY(!header()->isSectionHidden(0));
    QVERIFY(header()->isSectionHidden(9));
    QVERIFY(header()->isSectionHidden(2));
    QCOMPARE(header()->logicalIndex(0), 3);
    QCOMPARE(header()->sortIndicatorSection(), 3);
    QCOMPARE(header()->sortIndicatorOrder(), Qt::DescendingOrder);
    // Sorted by code, descending: CODEB above CODEA.
    QCOMPARE(table()->model()->index(0, 3).data().toString(), QStringLiteral("CODEB"));

    // A maximised window keeps the size it had before.
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    window.reset();
    QCOMPARE(QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat)
                 .value(QStringLiteral("MainWindow/size"))
                 .toSize(),
             QSize(900, 600));
    openWindow();
    QVERIFY(window->isMaximized());
}

void tst_MainWindow::unreadableHeaderStateFallsBackToDefaults()
{
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("StationList/HeaderState"), QByteArray("not a header state"));
    }
    openWindow();
    QVERIFY(header()->isSectionHidden(0));
    QVERIFY(header()->isSectionHidden(2));
    QVERIFY(header()->isSectionHidden(43));
    QVERIFY(!header()->isSectionHidden(44));
    QVERIFY(!header()->isSectionHidden(45));
    QCOMPARE(header()->hiddenSectionCount(), 24);
}

void tst_MainWindow::sortedTableActsOnTheCurrentStation()
{
    const int c = addStation(QStringLiteral("C"), true, QStringLiteral("Charlie"));
    const int a = addStation(QStringLiteral("A"), false, QStringLiteral("Alpha"));
    const int b = addStation(QStringLiteral("B"), true, QStringLiteral("Bravo"));
    openWindow();
    table()->sortByColumn(StationTableModel::ColumnTitle, Qt::AscendingOrder);
    QCOMPARE(viewRow(a), 0);
    QCOMPARE(viewRow(c), 2);
    // The station the user selects is the one the tool bar works on, although
    // it is the second row of the model.
    table()->setCurrentIndex(table()->model()->index(viewRow(a), 1));
    QVERIFY(action("actEditStation")->isEnabled());
    QCOMPARE(action("actEnableRow")->text(), QStringLiteral("Enable"));

    int editedId = 0;
    QString editedTitle;
    onDialog = [&](QDialog *dialog) {
        if (auto *editor = qobject_cast<EditStationDialog *>(dialog)) {
            editedId = editor->currentStation().id;
            editedTitle = editor->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->text();
        }
        return int(QDialog::Rejected);
    };
    action("actEditStation")->trigger();
    QCOMPARE(dialogs, QStringList{QStringLiteral("EditStationDialog")});
    QCOMPARE(editedId, a);
    QCOMPARE(editedTitle, QStringLiteral("Alpha"));

    action("actEnableRow")->trigger();
    QVERIFY(storedActive(a));
    QVERIFY(storedActive(c));
    QCOMPARE(action("actEnableRow")->text(), QStringLiteral("Disable"));
    QVERIFY(child<QLabel>("lblActive")->text().contains(QStringLiteral("<b>Active</b> : 3")));

    // Select another row: the tool bar follows it.
    table()->setCurrentIndex(table()->model()->index(viewRow(b), 1));
    questions.answer(QMessageBox::Yes);
    action("actDeleteStation")->trigger();
    QCOMPARE(storedIds(), (QList<int>{c, a}));
    QCOMPARE(window->stationModel()->rowCount(), 2);
    QVERIFY(questions.last().text.contains(QStringLiteral("Bravo")));
}

void tst_MainWindow::deletionAsksAndRemovesFromTableAndDatabase()
{
    const int first = addStation(QStringLiteral("A"), true, QStringLiteral("Alpha <1>"));
    const int second = addStation(QStringLiteral("B"), true);
    openWindow();
    table()->setCurrentIndex(table()->model()->index(viewRow(first), 1));

    questions.answer(QMessageBox::No);
    action("actDeleteStation")->trigger();
    QCOMPARE(questions.asked.size(), 1);
    const ScriptedQuestions::Asked asked = questions.last();
    QCOMPARE(asked.title, QStringLiteral("Remove Station"));
    QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(asked.defaultButton, QMessageBox::No);
    QVERIFY(asked.text.contains(QStringLiteral("This station will be removed from the list. Are you sure?")));
    QVERIFY(asked.text.contains(
        QStringLiteral("<th align='left'>Title</th>               <td>Alpha &lt;1&gt;</td>")));
    QVERIFY(asked.text.contains(
        QStringLiteral("<th align='left'>Station Name</th>               <td>Name A</td>")));
    QVERIFY(asked.text.contains(
        QStringLiteral("<th align='left'>Station Code</th>               <td>CODEA</td>")));
    QCOMPARE(storedIds(), (QList<int>{first, second}));

    questions.answer(QMessageBox::Yes);
    action("actDeleteStation")->trigger();
    QCOMPARE(storedIds(), QList<int>{second});
    QCOMPARE(table()->model()->rowCount(), 1);
    QCOMPARE(window->stationModel()->stations().first().id, second);
    QVERIFY(child<QLabel>("lblCount")->text().contains(QStringLiteral("<b>Count</b>: 1")));
    QCOMPARE(questions.unanswered, 0);
}

void tst_MainWindow::doubleClickTogglesActive()
{
    const int id = addStation(QStringLiteral("A"), true);
    openWindow();
    const QRect cell = table()->visualRect(table()->model()->index(viewRow(id), 3));
    doubleClick(table()->viewport(), cell.center());
    QVERIFY(!storedActive(id));
    QVERIFY(!window->stationModel()->stations().first().active);
    QVERIFY(child<QLabel>("lblInactive")->text().contains(QStringLiteral("<b>Inactive</b> : 1")));
    doubleClick(table()->viewport(), cell.center());
    QVERIFY(storedActive(id));
}

void tst_MainWindow::lastVisibleColumnCannotBeHidden()
{
    addStation(QStringLiteral("A"), true);
    openWindow();
    QMenu *menu = headerMenu();
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Column visibility"));
    QCOMPARE(menu->actions().size(), StationTableModel::ColumnCount);
    QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Title"));
    QVERIFY(menu->actions().at(1)->isChecked());
    QVERIFY(!menu->actions().at(0)->isChecked());
    menu->close();

    // Hide every shown column but the status, one menu at a time.
    for (int column = 0; column < StationTableModel::ColumnCount - 1; ++column) {
        if (header()->isSectionHidden(column))
            continue;
        headerMenu()->actions().at(column)->trigger();
        QVERIFY(header()->isSectionHidden(column));
    }
    QCOMPARE(header()->hiddenSectionCount(), StationTableModel::ColumnCount - 1);
    headerMenu()->actions().at(StationTableModel::ColumnStatus)->trigger();
    QVERIFY(!header()->isSectionHidden(StationTableModel::ColumnStatus));

    // A column narrowed to nothing before it was hidden comes back usable.
    headerMenu()->actions().at(5)->trigger();
    header()->setMinimumSectionSize(1);
    header()->resizeSection(5, 2);
    headerMenu()->actions().at(5)->trigger();
    QVERIFY(header()->isSectionHidden(5));
    headerMenu()->actions().at(5)->trigger();
    QVERIFY(!header()->isSectionHidden(5));
    QCOMPARE(header()->sectionSize(5), 100);
    // Each change was saved.
    QHeaderView restored(Qt::Horizontal);
    restored.setModel(table()->model());
    QVERIFY(restored.restoreState(QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat)
                                      .value("StationList/HeaderState")
                                      .toByteArray()));
    QCOMPARE(restored.hiddenSectionCount(), StationTableModel::ColumnCount - 2);
    QVERIFY(!restored.isSectionHidden(5));
}

void tst_MainWindow::contextMenuOnStationAndOnEmptySpace()
{
    const int id = addStation(QStringLiteral("A"), true);
    openWindow();
    header()->showSection(2);
    const QRect cell = table()->visualRect(table()->model()->index(viewRow(id), 2));
    QMetaObject::invokeMethod(window.get(), "showTableMenu", Q_ARG(QPoint, cell.center()));
    // The table menu has no parent: it is one of the top-level widgets.
    QMenu *menu = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("tableMenu"))
            menu = qobject_cast<QMenu *>(w);
    }
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(action("actEnableRow")->text(), QStringLiteral("Disable"));
    // Its weight stays: the tool bar's button must not change width.
    QVERIFY(!action("actEnableRow")->font().bold());
    QCOMPARE(action("actCopyCellValue")->text(), QStringLiteral("Copy \"Station Name\" value"));
    QCOMPARE(action("actOpenDirectory")->property("row").toInt(), 0);
    QCOMPARE(action("actOpenDirectory")->property("col").toInt(), 2);
    QVERIFY(action("actionGraphicFromList")->isEnabled());
    QCOMPARE(action("actManualConnect")->isEnabled(), MainWindow::hasManualConsole());
    menu->hide();
    action("actCopyCellValue")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Name A"));
    QSignalSpy visits(window->workerController(), &WorkerController::workerUpdateStationData);
    action("actUpdateStationData")->trigger();
    QCOMPARE(visits.size(), 1);
    QCOMPARE(visits.first().first().toInt(), id);

    // Below the last row only adding a station is offered.
    QMetaObject::invokeMethod(window.get(), "showTableMenu",
                              Q_ARG(QPoint, QPoint(cell.center().x(), cell.bottom() + 40)));
    QTRY_VERIFY(menu->isVisible());
    for (const char *name : {"actEnableRow", "actEditStation", "actDeleteStation"}) {
        QVERIFY2(!action(name)->isEnabled(), name);
        QCOMPARE(action(name)->property("row").toInt(), -1);
    }
    for (const char *name : {"actUpdateStationData", "actManualConnect", "actionGraphicFromList",
                             "actOpenDirectory", "actCopyCellValue"})
        QVERIFY2(!action(name)->isVisible(), name);
    QVERIFY(action("actAddStation")->isEnabled());
    QApplication::clipboard()->clear();
    action("actCopyCellValue")->trigger();
    QVERIFY(QApplication::clipboard()->text().isEmpty());
    menu->hide();
}

void tst_MainWindow::openDirectoryShowsTheFirstDataFile()
{
    const int missing = addStation(QStringLiteral("M"), true);
    const int station = addStation(QStringLiteral("S"), true);
    const int empty = addStation(QStringLiteral("E"), true);
    QDir(dir->path()).mkpath(QStringLiteral("S"));
    QDir(dir->path()).mkpath(QStringLiteral("E"));
    for (const char *name : {"stationS_05012026.xml", "stationS_01022026.xml", "other_01012026.xml"}) {
        QFile f(dir->filePath(QStringLiteral("S/") + QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    openWindow();
    auto openDirectoryOf = [this](int id) {
        const QRect cell = table()->visualRect(table()->model()->index(viewRow(id), 1));
        QMetaObject::invokeMethod(window.get(), "showTableMenu", Q_ARG(QPoint, cell.center()));
        window->findChild<QAction *>(QStringLiteral("actOpenDirectory"))->trigger();
    };

    openDirectoryOf(missing);
    QCOMPARE(questions.asked.size(), 1);
    QCOMPARE(questions.last().icon, QMessageBox::Critical);
    QCOMPARE(questions.last().title, QStringLiteral("Dizin Aç"));
    QCOMPARE(questions.last().text, QStringLiteral("Dosya mevcut değil!\n\n%1").arg(dir->filePath("M")));
    QVERIFY(revealed.isEmpty());

    openDirectoryOf(station);
    openDirectoryOf(empty);
    QCOMPARE(revealed, (QStringList{dir->filePath("S") + "|" + dir->filePath("S/stationS_01022026.xml"),
                                    dir->filePath("E") + "|"}));
    QCOMPARE(questions.asked.size(), 1);

    // No data file yet: the chart of the station is refused with a warning.
    action("actionGraphicFromList")->trigger();
    QCOMPARE(questions.asked.size(), 2);
    QCOMPARE(questions.last().icon, QMessageBox::Warning);
    QCOMPARE(questions.last().title, QStringLiteral("Dosya Hatası"));
    QCOMPARE(questions.last().text,
             QStringLiteral("Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!"));
}

void tst_MainWindow::chartOfAStationOpensItsNewestFile()
{
    const int id = addStation(QStringLiteral("S"), true);
    QDir(dir->path()).mkpath(QStringLiteral("S"));
    // By name 05012026 comes last; by date 01022026 is the newest.
    for (const char *name : {"stationS_01022026.xml", "stationS_05012026.xml"}) {
        QFile f(dir->filePath(QStringLiteral("S/") + QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><device><header/></device>");
    }
    openWindow();
    const QRect cell = table()->visualRect(table()->model()->index(viewRow(id), 1));
    QMetaObject::invokeMethod(window.get(), "showTableMenu", Q_ARG(QPoint, cell.center()));
    QVERIFY(action("actionGraphicFromList")->isEnabled());
    action("actionGraphicFromList")->trigger();
    QPointer<DialogGraphic> chart = window->findChild<DialogGraphic *>();
    QVERIFY(chart);
    QVERIFY(chart->isVisible());
    QVERIFY(!chart->isModal());
    QVERIFY(chart->windowState() & Qt::WindowMaximized);
    QCOMPARE(chart->findChild<QLineEdit *>(QStringLiteral("txtFileName"))->text(),
             dir->filePath(QStringLiteral("S/stationS_01022026.xml")));
    QVERIFY(questions.asked.isEmpty());
    chart->close();
    QTRY_VERIFY(chart.isNull());

    // From the tool bar: the viewer with no file.
    action("actionGraphicFromToolbar")->trigger();
    chart = window->findChild<DialogGraphic *>();
    QVERIFY(chart && chart->isVisible());
    QVERIFY(chart->findChild<QLineEdit *>(QStringLiteral("txtFileName"))->text().isEmpty());
    chart->close();
}

void tst_MainWindow::addingAStationThroughTheEditorRecounts()
{
    addStation(QStringLiteral("A"), true);
    openWindow();
    onDialog = [](QDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cmbDeviceType"))
            ->setCurrentText(QStringLiteral("TQM510"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(QStringLiteral("New one"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtCode"))->setText(QStringLiteral("N01"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtIp"))->setText(QStringLiteral("127.0.0.1"));
        dialog->findChild<QPushButton *>(QStringLiteral("btnSave"))->click();
        return dialog->result();
    };
    action("actAddStation")->trigger();
    QVERIFY2(questions.asked.isEmpty(), qPrintable(questions.asked.value(0).text));
    QCOMPARE(storedIds().size(), 2);
    QCOMPARE(window->stationModel()->stations().last().code, QStringLiteral("N01"));
    QVERIFY(child<QLabel>("lblCount")->text().contains(QStringLiteral("<b>Count</b>: 2")));
    // A new station waits inactive, with a worker of its own.
    QVERIFY(child<QLabel>("lblInactive")->text().contains(QStringLiteral("<b>Inactive</b> : 1")));
    QCOMPARE(window->workerController()->threadCount(), 2);
}

void tst_MainWindow::settingsDialogRunsWithTheWindowsQuestions()
{
    openWindow();
    QPointer<QDialog> seen;
    onDialog = [&seen](QDialog *dialog) {
        seen = dialog;
        return int(QDialog::Rejected);
    };
    action("actSettings")->trigger();
    QCOMPARE(dialogs, QStringList{QStringLiteral("SettingsDialog")});
    // Deleted once it has run.
    QVERIFY(seen.isNull());
}

void tst_MainWindow::startAndPauseCollecting()
{
    openWindow();
    // No station, no current row: nothing to edit or delete.
    QVERIFY(!action("actEditStation")->isEnabled());
    QVERIFY(!action("actDeleteStation")->isEnabled());
    QVERIFY(!action("actEnableRow")->isEnabled());
    QAction *start = action("actStartCollecting");
    QVERIFY(start->isCheckable());
    const QImage play = QIcon(QStringLiteral(":/images/play.png")).pixmap(32).toImage();
    const QImage stop = QIcon(QStringLiteral(":/images/stop.png")).pixmap(32).toImage();
    QVERIFY(play != stop);
    QCOMPARE(start->icon().pixmap(32).toImage(), play);
    QWidget *next = window->findChild<QToolBar *>()->widgetForAction(action("actAddStation"));
    const QRect where = next->geometry();
    start->trigger();
    QVERIFY(window->workerController()->isCollecting());
    QCOMPARE(start->icon().pixmap(32).toImage(), stop);
    // It says what a click does now, without moving the buttons after it.
    QCOMPARE(start->text(), QStringLiteral("Pause Collecting"));
    QCOMPARE(next->geometry(), where);
    start->trigger();
    QVERIFY(!window->workerController()->isCollecting());
    QCOMPARE(start->icon().pixmap(32).toImage(), play);
    QCOMPARE(start->text(), QStringLiteral("Start Collecting"));
}

void tst_MainWindow::closingAsksAndStopsTheWorkers()
{
    addStation(QStringLiteral("A"), true);
    addStation(QStringLiteral("B"), false);
    openWindow();
    action("actStartCollecting")->trigger();
    QCOMPARE(window->workerController()->threadCount(), 2);

    questions.answer(QMessageBox::No);
    action("actionQuit")->trigger();
    QCOMPARE(questions.last().title, QStringLiteral("Quit"));
    QCOMPARE(questions.last().text, QStringLiteral("Are you sure want to quit this application?"));
    QCOMPARE(questions.last().defaultButton, QMessageBox::No);
    QVERIFY(window->isVisible());
    QCOMPARE(window->workerController()->threadCount(), 2);

    questions.answer(QMessageBox::Yes);
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QCOMPARE(window->workerController()->threadCount(), 0);
    QVERIFY(!window->workerController()->isCollecting());
    QCOMPARE(questions.unanswered, 0);
}

void tst_MainWindow::manualConsoleOpensForAStationOrBlank()
{
    QVERIFY(MainWindow::hasManualConsole());
    const int id = addStation(QStringLiteral("A"), true);
    openWindow();
    QVERIFY(action("actManualConnectToolBar")->isEnabled());
    QString host;
    int port = 0;
    bool tcp = false;
    bool matched = false;
    QString folder;
    onDialog = [&](QDialog *dialog) {
        if (auto *console = qobject_cast<ManualConnection *>(dialog)) {
            host = console->findChild<QLineEdit *>(QStringLiteral("txtIP"))->text();
            port = console->findChild<QSpinBox *>(QStringLiteral("sbTcpPort"))->value();
            tcp = console->findChild<QRadioButton *>(QStringLiteral("rbTcpIp"))->isChecked();
            matched = console->hostMatchesStation();
            folder = console->dataFolder();
            // The console asks through the window's questions.
            console->findChild<QSpinBox *>(QStringLiteral("sbTcpPort"))->setValue(0);
            console->findChild<QPushButton *>(QStringLiteral("btnConnect"))->click();
        }
        return int(QDialog::Rejected);
    };
    const QRect cell = table()->visualRect(table()->model()->index(viewRow(id), 1));
    QMetaObject::invokeMethod(window.get(), "showTableMenu", Q_ARG(QPoint, cell.center()));
    QVERIFY(action("actManualConnect")->isEnabled());
    action("actManualConnect")->trigger();
    QCOMPARE(dialogs.value(0), QStringLiteral("ManualConnection"));
    QCOMPARE(host, QStringLiteral("127.0.0.1"));
    QCOMPARE(port, 1);
    QVERIFY(tcp);
    QVERIFY(matched);
    QCOMPARE(folder, dir->filePath("A"));
    QCOMPARE(questions.asked.size(), 1);
    QCOMPARE(questions.last().title, QStringLiteral("Port Error"));

    // From the tool bar: no station, the choices of the last console.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    host.clear();
    action("actManualConnectToolBar")->trigger();
    QCOMPARE(dialogs.size(), 2);
    QCOMPARE(host, QStringLiteral("127.0.0.1"));
    QVERIFY(tcp);
    QCOMPARE(port, 0);
    QCOMPARE(questions.asked.size(), 2);
}

void tst_MainWindow::sixtyStationsShowTheFailingOnesReadably()
{
    QList<int> ids;
    for (int i = 0; i < 60; ++i)
        ids << addStation(QStringLiteral("S%1").arg(i, 2, 10, QLatin1Char('0')), i % 10 != 9);
    openWindow();
    StationTableModel *model = window->stationModel();
    const QString longStatus = QStringLiteral("/srv/tqm510/files/CODES07/a/rather/long/folder/"
                                              "CODES07_08122026.xml could not be saved: No space left");
    int failing = 0;
    for (int i = 0; i < 60; ++i) {
        DBStation s = model->stations().at(i);
        s.has_error = i % 7 == 0;
        s.status = s.has_error ? (i == 7 ? longStatus : QStringLiteral("Bağlantı kurulamadı"))
                               : QStringLiteral("Veri indirildi");
        model->showPublishedStatus(s);
        failing += s.has_error && s.active ? 1 : 0;
    }

    // The status stands next to the title, wide, with its whole text at hand.
    QCOMPARE(header()->visualIndex(StationTableModel::ColumnStatus),
             header()->visualIndex(StationTableModel::ColumnTitle) + 1);
    QVERIFY(header()->sectionSize(StationTableModel::ColumnStatus) >= 400);
    const QString tip = table()
                            ->model()
                            ->index(viewRow(ids.at(7)), StationTableModel::ColumnStatus)
                            .data(Qt::ToolTipRole)
                            .toString();
    QVERIFY2(tip.startsWith(longStatus + QStringLiteral("\n\nFailing")), qPrintable(tip));
    for (int column = 0; column < StationTableModel::ColumnCount; ++column) {
        if (!header()->isSectionHidden(column))
            QVERIFY2(header()->sectionSize(column) >= header()->sectionSizeHint(column),
                     qPrintable(QString::number(column)));
    }
    QCOMPARE(table()->model()->index(viewRow(ids.at(0)), StationTableModel::ColumnActive).data().toString(),
             QStringLiteral("Yes"));
    QCOMPARE(table()->model()->index(viewRow(ids.at(9)), StationTableModel::ColumnActive).data().toString(),
             QStringLiteral("No"));

    // Narrowed to the failing ones, by the choice or by their counter.
    auto *kind = child<QComboBox>("cmbFilter");
    kind->setCurrentIndex(kind->findData(StationFilterModel::OnlyFailing));
    QCOMPARE(table()->model()->rowCount(), failing);
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : %1").arg(failing)));
    QTest::mouseClick(child<QLabel>("lblInactive"), Qt::LeftButton);
    QCOMPARE(kind->currentData().toInt(), int(StationFilterModel::OnlyInactive));
    QCOMPARE(table()->model()->rowCount(), 6);
    QTest::mouseClick(child<QLabel>("lblError"), Qt::LeftButton);
    QCOMPARE(table()->model()->rowCount(), failing);
    // A station whose next visit has started stays failing and counted; it
    // leaves the list when that visit ends well.
    DBStation recovered = model->stations().at(7);
    model->visitEnded(recovered.id, true);
    recovered.has_error = false;
    recovered.status = QStringLiteral("Reading parameters");
    model->showPublishedStatus(recovered);
    QCOMPARE(table()->model()->rowCount(), failing);
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : %1").arg(failing)));
    model->visitEnded(recovered.id, false);
    QCOMPARE(table()->model()->rowCount(), failing - 1);
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : %1").arg(failing - 1)));
    // Clock warnings have their own counter and list.
    QVERIFY(child<QLabel>("lblDrift")->text().contains(QStringLiteral("<b>Clock</b> : 0")));
    model->setVisitFacts(model->stations().at(1).id, true, 0, QDateTime());
    model->setVisitFacts(model->stations().at(2).id, true, 0, QDateTime());
    QVERIFY(child<QLabel>("lblDrift")->text().contains(QStringLiteral("<b>Clock</b> : 2")));
    QTest::mouseClick(child<QLabel>("lblDrift"), Qt::LeftButton);
    QCOMPARE(kind->currentData().toInt(), int(StationFilterModel::OnlyDrift));
    QCOMPARE(table()->model()->rowCount(), 2);
    QTest::mouseClick(child<QLabel>("lblError"), Qt::LeftButton);
    // The text matches code, title and status.
    QTest::mouseClick(child<QLabel>("lblCount"), Qt::LeftButton);
    auto *text = child<QLineEdit>("txtFilter");
    text->setText(QStringLiteral("codes1"));
    QCOMPARE(table()->model()->rowCount(), 10);
    text->setText(QStringLiteral("kurulamadı"));
    QCOMPARE(table()->model()->rowCount(), 8);
    text->clear();
    QCOMPARE(table()->model()->rowCount(), 60);

    // The column menu stays open while columns are ticked.
    QMenu *menu = headerMenu();
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QAction *code = menu->actions().at(3);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(code).center());
    QVERIFY(header()->isSectionHidden(3));
    QVERIFY(menu->isVisible());
    QVERIFY(!code->isChecked());
    menu->close();

    // Enabling and disabling keep the tool bar's buttons where they are.
    auto *bar = window->findChild<QToolBar *>();
    QWidget *after = bar->widgetForAction(action("actManualConnectToolBar"));
    table()->selectRow(viewRow(ids.at(0)));
    QCOMPARE(action("actEnableRow")->text(), QStringLiteral("Disable"));
    const QRect where = after->geometry();
    table()->selectRow(viewRow(ids.at(9)));
    QCOMPARE(action("actEnableRow")->text(), QStringLiteral("Enable"));
    QCOMPARE(after->geometry(), where);
    QVERIFY(bar->widgetForAction(action("actionQuit"))->isVisible());
}

void tst_MainWindow::toolBarActsOnlyOnASelectedRowAndSaysWhatFailed()
{
    const int a = addStation(QStringLiteral("A"), true);
    const int b = addStation(QStringLiteral("B"), false);
    openWindow();
    // A current row the view set by itself, not highlighted: no station.
    table()->selectionModel()->setCurrentIndex(table()->model()->index(viewRow(a), 1),
                                               QItemSelectionModel::NoUpdate);
    QVERIFY(!action("actEditStation")->isEnabled());
    QVERIFY(!action("actEnableRow")->isEnabled());
    action("actEnableRow")->trigger();
    action("actDeleteStation")->trigger();
    QVERIFY(storedActive(a));
    QCOMPARE(storedIds(), (QList<int>{a, b}));
    QVERIFY(questions.asked.isEmpty());

    // Another connection holds the write lock.
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        locker.setDatabaseName(dir->filePath(QStringLiteral("data.db")));
        QVERIFY(locker.open());
        QVERIFY(QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    }
    table()->selectRow(viewRow(a));
    questions.answer(QMessageBox::Ok);
    action("actEnableRow")->trigger();
    QCOMPARE(questions.last().icon, QMessageBox::Critical);
    QVERIFY2(questions.last().text.contains(QStringLiteral("CODEA was not changed")),
             qPrintable(questions.last().text));
    QVERIFY(questions.last().text.contains(QStringLiteral("locked")));
    QVERIFY(window->stationModel()->stations().at(0).active);

    questions.answer(QMessageBox::Yes);
    questions.answer(QMessageBox::Ok);
    action("actDeleteStation")->trigger();
    QVERIFY(questions.last().text.contains(QStringLiteral("CODEA was not removed")));
    QCOMPARE(window->stationModel()->rowCount(), 2);

    // The editor's Save says so too and stays open.
    {
        EditStationDialog editor(window->stationModel(), window->stationModel()->index(1, 0), window.get());
        editor.setQuestions(&questions);
        questions.answer(QMessageBox::Ok);
        editor.findChild<QPushButton *>(QStringLiteral("btnSave"))->click();
        QVERIFY(questions.last().text.contains(QStringLiteral("not saved")));
        QCOMPARE(editor.result(), int(QDialog::Rejected));
    }

    // A published status shows at once; the status bar says why it is not stored.
    WorkerController *controller = window->workerController();
    controller->setStoreRetryInterval(20);
    DBStation status = window->stationModel()->stations().at(0);
    status.status = QStringLiteral("Bağlantı kurulamadı");
    status.has_error = true;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    controller->onWorkerStatusChanged(status);
    QCOMPARE(window->stationModel()->stations().at(0).status, status.status);
    QCOMPARE(table()->model()->index(viewRow(a), StationTableModel::ColumnStatus).data().toString(),
             status.status);
    auto *store = child<QLabel>("lblStore");
    QTRY_VERIFY(store->isVisible());
    QVERIFY2(store->text().contains(QStringLiteral("locked")), qPrintable(store->text()));
    const QString since = store->text().section(QStringLiteral("since "), 1).left(19);
    QVERIFY(QDateTime::fromString(since, QStringLiteral("yyyy-MM-dd hh:mm:ss")) >= before.addSecs(-1));

    {
        QSqlDatabase locker = QSqlDatabase::database(QStringLiteral("locker"));
        QVERIFY(QSqlQuery(locker).exec(QStringLiteral("ROLLBACK")));
        locker.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    QTRY_VERIFY(!store->isVisible());
    QSqlQuery q(QStringLiteral("SELECT s.status, e.has_error FROM stations s "
                               "JOIN station_errors e ON e.station_id = s.id WHERE s.id = %1")
                    .arg(a));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), status.status);
    QVERIFY(q.value(1).toBool());
}

void tst_MainWindow::valueAlarmColoursTheRowAndTheChartDrawsItsLimits()
{
    const int id = addStation(QStringLiteral("S"), true);
    const int other = addStation(QStringLiteral("T"), true);
    QString why;
    // Slot 2 is the file's first channel: checked and watched.
    QVERIFY2(StationSettings::setValue(id, ChannelChecks::qualityKey(2),
                                       QStringLiteral("gross=0,500;user=0,105"), &why),
             qPrintable(why));
    QVERIFY2(StationSettings::setValue(id, ChannelChecks::alarmsKey(2),
                                       QStringLiteral("high=104,103;low=50,52;rise=5,1h"), &why),
             qPrintable(why));
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
    QVector<datafile::Line> lines;
    int page = 0;
    // Values committed as a visit does; lines of the same in the data file.
    const auto commit = [&](const QVector<double> &levels, int from) {
        VisitCommit c;
        c.target = {id, QStringLiteral("stationS_01122026.xml"),
                    QStringLiteral("here:") + dir->filePath("S")};
        c.point.page = ++page;
        c.point.timeBase = start;
        for (int i = 0; i < levels.size(); ++i) {
            const QDateTime t = start.addSecs((from + i) * 900);
            const QString at = t.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
            c.values.append({2, QStringLiteral("INS"), at, QString::number(levels.at(i), 'f', 4), false, 0,
                             QStringLiteral("1"), QStringLiteral("cm")});
            c.values.append({5, QStringLiteral("INS"), at, QStringLiteral("12.5000"), false, 1,
                             QStringLiteral("7"), QStringLiteral("V")});
            for (int channel : {0, 1})
                lines.append({channel, QStringLiteral("INS"), t.toString(QStringLiteral("yyyy-MM-dd")),
                              t.toString(QStringLiteral("hh:mm")), channel == 0 ? levels.at(i) : 12.5});
        }
        return c.run(DatabaseConnection::connectionName()).result == VisitCommit::Committed;
    };
    // Rising past 104 at 02:15; 600 fails the sensor limits (and raises
    // nothing), 105.5 is beyond the operator's.
    QVERIFY(commit({100, 100.5, 101, 101.5, 102, 600, 103, 103.5, 103.8, 104.5, 105, 105.5}, 0));
    QDir(dir->path()).mkpath(QStringLiteral("S"));
    const QString file = dir->filePath(QStringLiteral("S/stationS_01122026.xml"));
    QVERIFY(datafile::write(file, {{0, "AH", "Level", "cm"}, {1, "BV", "Battery", "V"}}, lines));

    openWindow();
    StationTableModel *model = window->stationModel();
    const auto cell = [&](int station, int column) {
        return table()->model()->index(viewRow(station), column);
    };
    const auto background = [&](int station) {
        return cell(station, 1).data(Qt::BackgroundRole).value<QColor>();
    };
    auto *lblAlarm = child<QLabel>("lblAlarm");
    // Read off the main thread when the window opens.
    QTRY_COMPARE(background(id), QColor(model->alarmBackground()));
    QVERIFY(lblAlarm->text().contains(QStringLiteral("<b>Alarm</b> : 1")));
    QVERIFY(lblAlarm->text().contains(QStringLiteral("background-color:%1;").arg(model->alarmBackground())));
    QCOMPARE(background(other), QColor(model->enabledBackground()));
    QCOMPARE(cell(id, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(model->alarmColor()));
    QVERIFY(QColor(model->alarmBackground()) != QColor(model->errorBackground()) &&
            QColor(model->alarmBackground()) != QColor(model->driftBackground()) &&
            QColor(model->alarmBackground()) != QColor(model->enabledBackground()));
    const QString tip = cell(id, StationTableModel::ColumnStatus).data(Qt::ToolTipRole).toString();
    QVERIFY2(
        tip.contains(QStringLiteral("Value alarm on channel 2: high since 2026-12-01 02:15, value 104.5")),
        qPrintable(tip));
    QVERIFY2(!tip.contains(QStringLiteral("rise")), qPrintable(tip));
    QTest::mouseClick(lblAlarm, Qt::LeftButton);
    QCOMPARE(child<QComboBox>("cmbFilter")->currentData().toInt(), int(StationFilterModel::OnlyAlarm));
    QCOMPARE(table()->model()->rowCount(), 1);
    QCOMPARE(table()->model()->index(0, 0).data().toInt(), id);
    QTest::mouseClick(child<QLabel>("lblCount"), Qt::LeftButton);

    // A failed visit: the alarm keeps its colour, the failure is counted and told.
    const int readsBefore = window->alarmFollower()->reads();
    emit window->workerController()->stationVisitEnded(id, true);
    QTRY_VERIFY(window->alarmFollower()->reads() > readsBefore);
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : 1")));
    QCOMPARE(background(id), QColor(model->alarmBackground()));
    QVERIFY(lblAlarm->text().contains(QStringLiteral("<b>Alarm</b> : 1")));
    const QString both = cell(id, StationTableModel::ColumnStatus).data(Qt::ToolTipRole).toString();
    QVERIFY2(both.contains(QStringLiteral("Value alarm on channel 2")) &&
                 both.contains(QStringLiteral("Failing")),
             qPrintable(both));

    // The chart of its file: the slot's limits on the first channel, and
    // the flagged values marked.
    QMetaObject::invokeMethod(window.get(), "showTableMenu",
                              Q_ARG(QPoint, table()->visualRect(cell(id, 1)).center()));
    action("actionGraphicFromList")->trigger();
    QPointer<DialogGraphic> chart = window->findChild<DialogGraphic *>();
    QVERIFY(chart);
    const QHash<int, ChartChannelChecks> checks = chart->channelChecks();
    QCOMPARE(checks.keys(), QList<int>{0});
    QCOMPARE(checks.value(0).slot, 2);
    const qint64 at0 = start.toMSecsSinceEpoch();
    QCOMPARE(checks.value(0).failed, (QVector<QPointF>{{double(at0 + 5 * 900000), 600}}));
    QCOMPARE(checks.value(0).suspect, (QVector<QPointF>{{double(at0 + 11 * 900000), 105.5}}));
    QVERIFY(chart->selectChannels({0}).isEmpty());
    chart->findChild<QPushButton *>(QStringLiteral("btnNext"))->click();
    auto *view = chart->findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
    QVERIFY(view);
    QMap<QString, QPair<QString, QVector<QPointF>>> drawn;
    for (QtCharts::QAbstractSeries *series : view->chart()->series())
        if (auto *xy = qobject_cast<QtCharts::QXYSeries *>(series))
            drawn.insert(xy->objectName(), {xy->name(), xy->pointsVector()});
    const QMap<QString, double> limits{
        {"limit-high", 104}, {"limit-high-clear", 103}, {"limit-low", 50}, {"limit-low-clear", 52}};
    for (auto it = limits.cbegin(); it != limits.cend(); ++it) {
        const QVector<QPointF> points = drawn.value(it.key()).second;
        QCOMPARE(points.size(), 2);
        QCOMPARE(points.at(0).y(), it.value());
        QCOMPARE(points.at(1).y(), it.value());
        // Across the whole file.
        QVERIFY(points.at(0).x() < double(at0) && points.at(1).x() > double(at0 + 11 * 900000));
    }
    QCOMPARE(drawn.value("limit-high").first, QStringLiteral("High alarm 104 (clears below 103)"));
    QCOMPARE(drawn.value("limit-low-clear").first, QStringLiteral("Low alarm clears above 52"));
    QCOMPARE(drawn.value(QStringLiteral("Failed - cm")).second, checks.value(0).failed);
    QCOMPARE(drawn.value(QStringLiteral("Suspect - cm")).second, checks.value(0).suspect);
    // The battery's channel has nothing of the store's.
    QVERIFY(chart->selectChannels({1}).isEmpty());
    chart->findChild<QPushButton *>(QStringLiteral("btnPrev"))->click();
    chart->findChild<QPushButton *>(QStringLiteral("btnNext"))->click();
    view = chart->findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
    QCOMPARE(view->chart()->series().size(), 2); // the line and its points
    chart->close();
    QTRY_VERIFY(chart.isNull());

    // Falling below 103 clears it once a visit has stored that.
    QVERIFY(commit({102.5, 102}, 12));
    emit window->workerController()->stationVisitEnded(id, false);
    QTRY_COMPARE(background(id), QColor(model->enabledBackground()));
    QVERIFY(lblAlarm->text().contains(QStringLiteral("<b>Alarm</b> : 0")));
    QVERIFY(child<QLabel>("lblError")->text().contains(QStringLiteral("<b>Error</b> : 0")));
    QVERIFY(!cell(id, StationTableModel::ColumnStatus)
                 .data(Qt::ToolTipRole)
                 .toString()
                 .contains(QStringLiteral("Value alarm")));
}

void tst_MainWindow::alarmsAnotherCollectorRaisesShowOnASharedStore()
{
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    PostgresServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    DatabaseConnection::close();
    DatabaseUrl url;
    QString why;
    QVERIFY(DatabaseUrl::parse(server.url(), &url, &why));
    DatabaseConnection db;
    QVERIFY2(db.open(url), qPrintable(DatabaseConnection::lastOpenError()));
    const int id = addStation(QStringLiteral("P"), true);
    QVERIFY2(StationSettings::setValue(id, ChannelChecks::alarmsKey(0), QStringLiteral("high=10,8"), &why),
             qPrintable(why));
    openWindow();
    window->alarmFollower()->setInterval(50);
    StationTableModel *model = window->stationModel();
    const auto background = [&] {
        return table()->model()->index(viewRow(id), 1).data(Qt::BackgroundRole).value<QColor>();
    };
    QCOMPARE(background(), QColor(model->enabledBackground()));

    // Another collector commits through a connection of its own; this
    // window stores no visit and learns of it from the store alone.
    {
        QSqlDatabase other = url.addConnection(QStringLiteral("other-collector"));
        QVERIFY(other.open());
        int page = 0;
        const auto commit = [&](int minute, double level) {
            VisitCommit c;
            c.target = {id, QStringLiteral("P_01122026.xml"), QStringLiteral("elsewhere:/srv/files/P")};
            c.point.page = ++page;
            c.point.timeBase = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
            c.values.append({0, QStringLiteral("INS"),
                             QDateTime(QDate(2026, 12, 1), QTime(0, 0))
                                 .addSecs(minute * 60)
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                             QString::number(level, 'f', 2), false, 0, QStringLiteral("1"),
                             QStringLiteral("m")});
            return c.run(QStringLiteral("other-collector")).result == VisitCommit::Committed;
        };
        QVERIFY(commit(0, 9.5));
        QVERIFY(commit(10, 10.5));
        QTRY_COMPARE(background(), QColor(model->alarmBackground()));
        QVERIFY(child<QLabel>("lblAlarm")->text().contains(QStringLiteral("<b>Alarm</b> : 1")));
        QVERIFY(commit(20, 7.5));
        QTRY_COMPARE(background(), QColor(model->enabledBackground()));
        QVERIFY(child<QLabel>("lblAlarm")->text().contains(QStringLiteral("<b>Alarm</b> : 0")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-collector"));
    window.reset();
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
