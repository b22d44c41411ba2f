#pragma once

#include "questions.h"
#include "storehealth.h"

#include <QMainWindow>
#include <QModelIndex>
#include <QVector>

#include <functional>

class AlarmFollower;
class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class StationFilterModel;
class StationTableModel;
class LeaseKeeper;
class WorkerController;

namespace Ui {
class MainWindow;
}

// The collector's main window: the station table with its status counters,
// the station actions, and the switch between collecting and pausing. The
// window's state (geometry, tool bar, columns) lives in settings.ini.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Where the window's questions go (the real dialogs by default); passed
    // on to the dialogs it opens.
    void setQuestions(Questions *questions) { m_questions = questions; }
    // Runs a modal dialog and returns its result (exec() by default).
    void setDialogRunner(std::function<int(QDialog *)> runner) { m_runDialog = std::move(runner); }
    // Shows a folder, with a file selected when one is given.
    void setFileRevealer(std::function<void(const QString &folder, const QString &file)> revealer)
    {
        m_reveal = std::move(revealer);
    }

    StationTableModel *stationModel() const { return model; }
    WorkerController *workerController() const { return controller; }
    AlarmFollower *alarmFollower() const { return alarms; }

    // Whether the manual console (opened by two actions) is part of this build.
    static bool hasManualConsole();

public slots:
    void showTableMenu(const QPoint &point);
    void showHeaderMenu(const QPoint &point);
    void onTableDataChanged(const QModelIndex &first, const QModelIndex &last, const QVector<int> &items);
    void onCurrentRowChanged(const QModelIndex &current, const QModelIndex &previous);

private slots:
    void on_actStartCollecting_triggered();
    void on_actionQuit_triggered();
    void on_actAddStation_triggered();
    void on_actEditStation_triggered();
    void on_actDeleteStation_triggered();
    void on_actSettings_triggered();
    void on_actEnableRow_triggered();
    void on_tableView_doubleClicked(const QModelIndex &index);
    void on_actUpdateStationData_triggered();
    void on_actManualConnect_triggered();
    void on_actCopyCellValue_triggered();
    void on_tableView_clicked(const QModelIndex &index);
    void on_actOpenDirectory_triggered();
    void on_actManualConnectToolBar_triggered();
    void on_actionGraphicFromList_triggered();
    void on_actionGraphicFromToolbar_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createStatusLabels();
    void createFilterBar();
    void setupTable();
    // Status next to the title, wide; every header readable.
    void arrangeColumns();
    // Keeps the tool bar's buttons where they are whatever text they show.
    void fixToolBar();
    void fitToolBar();
    void fixChangingButtonWidths();
    void showStoreHealth();
    void storeRefused(const QString &title, const QString &what);
    void recount();
    void refreshActions();
    void toggleColumn(int column);
    void hideDefaultColumns();
    void restoreWindowState();
    void saveWindowState();
    // The station row an action carries, or -1 when it names none.
    int stationRow(const QAction *action) const;
    void openChartViewer(const QString &fileName);
    void openManualConsole(int row);

    Ui::MainWindow *ui = nullptr;
    StationTableModel *model = nullptr;
    StationFilterModel *proxy = nullptr;
    QLineEdit *txtFilter = nullptr;
    QComboBox *cmbFilter = nullptr;
    QLabel *lblStore = nullptr;
    // The tool bar's width with the actions' names shown.
    int toolBarTextWidth = 0;
    StoreHealth storeHealth;
    QMenu *tableMenu = nullptr;
    QLabel *lblCount = nullptr;
    QLabel *lblActive = nullptr;
    QLabel *lblInactive = nullptr;
    QLabel *lblError = nullptr;
    QLabel *lblDrift = nullptr;
    QLabel *lblAlarm = nullptr;
    WorkerController *controller = nullptr;
    // On a shared store: the stations this window's collection holds.
    LeaseKeeper *leases = nullptr;
    // The value alarms up in the store, into the rows.
    AlarmFollower *alarms = nullptr;

    Questions *m_questions = Questions::dialogs();
    std::function<int(QDialog *)> m_runDialog;
    std::function<void(const QString &, const QString &)> m_reveal;
};
