#include "mainwindow.h"
#include "confighistorydialog.h"
#include "ui_mainwindow.h"

#include "alarmfollower.h"
#include "checkmenu.h"
#include "collection/leasekeeper.h"
#include "collection/stationmonitor.h"
#include "collection/workercontroller.h"
#include "dialoggraphic.h"
#include "editstationdialog.h"
#include "filereveal.h"
#include "nexil/logging.h"
#include "settingsdialog.h"
#include "stationcounts.h"
#include "stationfiles.h"
#include "stationfiltermodel.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"

// The manual console (manualconnection.h) joins in when its class is part of
// the tree; without it the actions that open it stay disabled.
#if __has_include("manualconnection.h")
#include "manualconnection.h"
#define NEXIL_MANUAL_CONSOLE 1
#else
#define NEXIL_MANUAL_CONSOLE 0
#endif

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

const char *const rowProperty = "row";
const char *const colProperty = "col";
const int activeColumn = 13;
// Layouts stored before this one had the status last and narrow.
const int headerLayoutVersion = 2;
const int statusWidth = 480;
const int titleWidth = 280;

QString settingsFile()
{
    return WorkFolder::current().settingsFile();
}

// Hands the window's question seam to a dialog that takes one.
template<typename Dialog>
auto passQuestions(Dialog *dialog, Questions *questions, int)
    -> decltype(dialog->setQuestions(questions), void())
{
    dialog->setQuestions(questions);
}
template<typename Dialog> void passQuestions(Dialog *, Questions *, long) {}

// Both ends of a long status matter: the file and why it failed.
class MiddleElideDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

} // namespace

static void initResources()
{
    Q_INIT_RESOURCE(mainwindow);
}

bool MainWindow::hasManualConsole()
{
    return NEXIL_MANUAL_CONSOLE;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    initResources();
    m_runDialog = [](QDialog *dialog) { return dialog->exec(); };
    m_reveal = [this](const QString &folder, const QString &file) {
        const QPointer<MainWindow> self(this);
        FileReveal::reveal(folder, file, this, [self, folder](const QString &reason) {
            if (self)
                self->m_questions->critical(
                    self, tr("Dizin Aç"), tr("The folder could not be shown.\n\n%1\n%2").arg(folder, reason));
        });
    };

    ui->setupUi(this);
    for (QAction *action : findChildren<QAction *>()) {
        action->setProperty(rowProperty, -1);
        action->setProperty(colProperty, -1);
    }
    ui->actStartCollecting->setChecked(false);
    ui->actManualConnectToolBar->setEnabled(NEXIL_MANUAL_CONSOLE);

    createStatusLabels();
    fixToolBar();

    model = new StationTableModel;
    connect(model, &StationTableModel::dataChanged, this, &MainWindow::onTableDataChanged);
    connect(model, &StationTableModel::statusStoreFailed, this, [this](const QString &reason) {
        storeHealth.failed(reason, QDateTime::currentDateTime());
        showStoreHealth();
    });
    connect(model, &StationTableModel::statusStoreWorking, this, [this] {
        storeHealth.worked();
        showStoreHealth();
    });
    proxy = new StationFilterModel;
    proxy->setStations(model);
    createFilterBar();
    setupTable();
    connect(ui->tableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::onCurrentRowChanged);

    controller = new WorkerController(model);
    // Shown as published: storing may lag behind or fail.
    connect(controller, &WorkerController::stationStatusPublished, model,
            &StationTableModel::showPublishedStatus);
    // On a shared store, what other operators and collectors write shows here
    // too, and collecting takes leases so that each station has one collector.
    leases = LeaseKeeper::followStore(model, controller, QString(), this);
    // A row keeps its last visit's outcome until the next visit has ended.
    connect(controller, &WorkerController::stationVisitEnded, model, &StationTableModel::visitEnded);
    connect(controller->monitor(), &StationMonitor::statsUpdated, this,
            [this](int id, const StationStats &s) {
                model->setVisitFacts(id, s.driftFlag, s.consecutiveFailures, s.lastSuccess);
            });
    for (const DBStation &station : model->stations()) {
        const StationStats s = controller->monitor()->stats(station.id);
        model->setVisitFacts(station.id, s.driftFlag, s.consecutiveFailures, s.lastSuccess, false);
    }
    // A visit's values were committed before its end is told.
    alarms = new AlarmFollower(model, this);
    connect(controller, &WorkerController::stationVisitEnded, alarms, &AlarmFollower::refresh);
    alarms->start();
    alarms->refresh();

    restoreWindowState();
    recount();
}

MainWindow::~MainWindow()
{
    saveWindowState();
    // The controller points at the model: its workers end before the model goes.
    delete controller;
    // It writes into the model: gone before it, with its read under way.
    delete alarms;
    delete tableMenu;
    delete proxy;
    delete model;
    delete ui;
}

void MainWindow::createStatusLabels()
{
    lblCount = new QLabel(tr("Count: 0"), this);
    lblActive = new QLabel(tr("Active: 0"), this);
    lblInactive = new QLabel(tr("Inactive: 0"), this);
    lblError = new QLabel(tr("Incorrect: 0"), this);
    lblDrift = new QLabel(tr("Clock: 0"), this);
    lblAlarm = new QLabel(tr("Alarm: 0"), this);
    const char *const names[] = {"lblCount", "lblActive", "lblInactive", "lblError", "lblDrift", "lblAlarm"};
    int i = 0;
    for (QLabel *label : {lblCount, lblActive, lblInactive, lblError, lblDrift, lblAlarm}) {
        label->setObjectName(QLatin1String(names[i++]));
        label->setFrameShape(QFrame::NoFrame);
        label->setIndent(1);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumSize(100, 15);
        label->setStyleSheet(QStringLiteral(
            "QFrame { border-right: 2px solid #ccc;border-left: 0px solid #ccc;border-top: 0px solid "
            "#ccc;border-bottom: 0px solid #ccc;}"));
        ui->statusBar->addWidget(label);
    }
    // A click on a counter shows those stations.
    for (QLabel *label : {lblCount, lblInactive, lblError, lblDrift, lblAlarm}) {
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
    }
    lblCount->setToolTip(tr("Show all stations"));
    lblInactive->setToolTip(tr("Show only the inactive stations"));
    lblError->setToolTip(tr("Show only the failing stations"));
    lblDrift->setToolTip(tr("Show only the stations whose device clock is off beyond the limit"));
    lblAlarm->setToolTip(tr("Show only the stations with a value alarm"));

    lblStore = new QLabel(this);
    lblStore->setObjectName(QStringLiteral("lblStore"));
    lblStore->setTextFormat(Qt::PlainText);
    lblStore->setStyleSheet(QStringLiteral("QLabel { background: #b00020; color: white; padding: 0 6px; }"));
    lblStore->hide();
    // A long database message must not widen the window: the full text is
    // in the tool tip.
    lblStore->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->statusBar->addWidget(lblStore, 1);
}

void MainWindow::createFilterBar()
{
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(tr("Filter by code, title or status"));
    txtFilter->setClearButtonEnabled(true);
    cmbFilter = new QComboBox(this);
    cmbFilter->setObjectName(QStringLiteral("cmbFilter"));
    cmbFilter->addItem(tr("All stations"), StationFilterModel::AllStations);
    cmbFilter->addItem(tr("Only failing"), StationFilterModel::OnlyFailing);
    cmbFilter->addItem(tr("Only inactive"), StationFilterModel::OnlyInactive);
    cmbFilter->addItem(tr("Only clock warnings"), StationFilterModel::OnlyDrift);
    cmbFilter->addItem(tr("Only value alarms"), StationFilterModel::OnlyAlarm);
    connect(txtFilter, &QLineEdit::textChanged, proxy, &StationFilterModel::setText);
    connect(cmbFilter, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { proxy->setKind(StationFilterModel::Kind(cmbFilter->currentData().toInt())); });
    auto *bar = new QHBoxLayout;
    bar->addWidget(txtFilter, 1);
    bar->addWidget(cmbFilter);
    ui->verticalLayout->insertLayout(0, bar);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const int kind = watched == lblError      ? StationFilterModel::OnlyFailing
                         : watched == lblInactive ? StationFilterModel::OnlyInactive
                         : watched == lblDrift    ? StationFilterModel::OnlyDrift
                         : watched == lblAlarm    ? StationFilterModel::OnlyAlarm
                         : watched == lblCount    ? StationFilterModel::AllStations
                                                  : -1;
        if (kind >= 0) {
            cmbFilter->setCurrentIndex(cmbFilter->findData(kind));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::fixToolBar()
{
    ui->mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    fixChangingButtonWidths();
    toolBarTextWidth = ui->mainToolBar->sizeHint().width();
    fitToolBar();
}

void MainWindow::fixChangingButtonWidths()
{
    // Some buttons' texts change with the row or the collection; their
    // widths must not, nor may the buttons after them move under the mouse.
    const struct
    {
        QAction *action;
        QStringList texts;
    } changing[] = {{ui->actEnableRow, {tr("Enable Row"), tr("Enable"), tr("Disable")}},
                    {ui->actStartCollecting, {tr("Start Collecting"), tr("Pause Collecting")}}};
    for (const auto &c : changing) {
        QWidget *button = ui->mainToolBar->widgetForAction(c.action);
        if (!button)
            continue;
        button->setMinimumWidth(0);
        const QString current = c.action->text();
        int width = 0;
        for (const QString &text : c.texts) {
            c.action->setText(text);
            width = qMax(width, button->sizeHint().width());
        }
        c.action->setText(current);
        button->setMinimumWidth(width);
    }
}

void MainWindow::fitToolBar()
{
    // Where the names do not fit, icons alone (names in their tool tips)
    // keep every action on the bar instead of in a hidden overflow.
    if (toolBarTextWidth <= 0)
        return;
    const Qt::ToolButtonStyle style =
        toolBarTextWidth <= width() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly;
    if (style == ui->mainToolBar->toolButtonStyle())
        return;
    ui->mainToolBar->setToolButtonStyle(style);
    fixChangingButtonWidths();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    fitToolBar();
}

void MainWindow::showStoreHealth()
{
    const QString text = storeHealth.text();
    lblStore->setText(text);
    lblStore->setToolTip(text);
    lblStore->setVisible(!text.isEmpty());
}

void MainWindow::storeRefused(const QString &title, const QString &what)
{
    const QString reason = DatabaseConnection::lastWriteError().simplified();
    m_questions->critical(this, title,
                          reason.isEmpty() ? what : tr("%1\n\nThe database said: %2").arg(what, reason));
}

void MainWindow::setupTable()
{
    QTableView *table = ui->tableView;
    table->setModel(proxy);
    // Until a stored layout says otherwise, stations stand in the order they were added.
    table->horizontalHeader()->setSortIndicator(StationTableModel::ColumnId, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTabKeyNavigation(false);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, &MainWindow::showTableMenu);
    QHeaderView *header = table->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &MainWindow::showHeaderMenu);
    header->setHighlightSections(false);
    header->setSectionsMovable(true);
    header->setDragEnabled(true);
    header->setDragDropMode(QAbstractItemView::InternalMove);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(25);
    table->setWordWrap(false);
    table->setItemDelegateForColumn(StationTableModel::ColumnStatus, new MiddleElideDelegate(table));
    // The tool bar acts on the row the user selected, nothing else.
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::refreshActions);

    tableMenu = new QMenu;
    tableMenu->setObjectName(QStringLiteral("tableMenu"));
    tableMenu->addAction(ui->actEnableRow);
    tableMenu->addSeparator();
    tableMenu->addActions({ui->actAddStation, ui->actEditStation, ui->actDeleteStation});
    tableMenu->addSeparator();
    tableMenu->addActions({ui->actUpdateStationData, ui->actManualConnect, ui->actionGraphicFromList});
    tableMenu->addSeparator();
    tableMenu->addAction(ui->actOpenDirectory);
    tableMenu->addSeparator();
    tableMenu->addAction(ui->actCopyCellValue);
    ConfigHistoryDialog::hookInto(tableMenu, ui->actCopyCellValue, model, this,
                                  [this](QDialog *dialog) { return m_runDialog(dialog); });
    // After the chosen action has run: the tool bar's actions follow the
    // current row again.
    connect(tableMenu, &QMenu::aboutToHide, this, &MainWindow::refreshActions, Qt::QueuedConnection);
}

void MainWindow::onTableDataChanged(const QModelIndex &, const QModelIndex &, const QVector<int> &)
{
    recount();
}

void MainWindow::onCurrentRowChanged(const QModelIndex &, const QModelIndex &)
{
    // The tool bar's row actions must name the row the user now sees selected.
    refreshActions();
}

void MainWindow::recount()
{
    const StationCounts counts = StationCounts::ofModel(*model);
    lblCount->setText(tr("<html><body><b>Count</b>: %1</body></html>").arg(counts.total));
    // The rows' own colours, text on background: readable on any status bar.
    lblActive->setText(
        tr("<html><body><span style='color:%1;background-color:%2;'>&nbsp;<b>Active</b> : %3&nbsp;</span>"
           "</body></html>")
            .arg(model->enabledColor(), model->enabledBackground())
            .arg(counts.active));
    lblInactive->setText(
        tr("<html><body><span style='color:%1;background-color:%2;'>&nbsp;<b>Inactive</b> : %3&nbsp;</span>"
           "</body></html>")
            .arg(model->disabledColor(), model->disabledBackground())
            .arg(counts.inactive));
    lblError->setText(
        tr("<html><body><span style='color:%1;background-color:%2;'>&nbsp;<b>Error</b> : %3&nbsp;</span>"
           "</body></html>")
            .arg(model->errorColor(), model->errorBackground())
            .arg(counts.error));
    lblDrift->setText(
        tr("<html><body><span style='color:%1;background-color:%2;'>&nbsp;<b>Clock</b> : %3&nbsp;</span>"
           "</body></html>")
            .arg(model->driftColor(), model->driftBackground())
            .arg(counts.drift));
    lblAlarm->setText(
        tr("<html><body><span style='color:%1;background-color:%2;'>&nbsp;<b>Alarm</b> : %3&nbsp;</span>"
           "</body></html>")
            .arg(model->alarmColor(), model->alarmBackground())
            .arg(counts.alarm));
    refreshActions();
}

void MainWindow::refreshActions()
{
    // An open context menu keeps the row it was opened on.
    if (tableMenu->isVisible())
        return;
    // Only a row the user sees highlighted: a current index the view set by
    // itself (after a dialog closed) names no station.
    const QModelIndexList selected = ui->tableView->selectionModel()->selectedRows();
    const QModelIndex current = selected.size() == 1 ? proxy->mapToSource(selected.first()) : QModelIndex();
    const bool valid = current.isValid() && current.row() < model->rowCount();
    const int row = valid ? current.row() : -1;
    for (QAction *action : {ui->actEditStation, ui->actDeleteStation, ui->actEnableRow}) {
        action->setEnabled(valid);
        action->setProperty(rowProperty, row);
    }
    ui->actEnableRow->setProperty(colProperty, valid ? activeColumn : -1);
    const bool active = valid && model->stations().at(row).active;
    ui->actEnableRow->setText(!valid ? tr("Enable Row") : active ? tr("Disable") : tr("Enable"));
}

int MainWindow::stationRow(const QAction *action) const
{
    const int row = action->property(rowProperty).toInt();
    return row >= 0 && row < model->rowCount() ? row : -1;
}

void MainWindow::showTableMenu(const QPoint &point)
{
    const QModelIndex index = proxy->mapToSource(ui->tableView->indexAt(point));
    const QList<QAction *> editing{ui->actEnableRow, ui->actEditStation, ui->actDeleteStation};
    const QList<QAction *> others{ui->actUpdateStationData, ui->actManualConnect, ui->actionGraphicFromList,
                                  ui->actOpenDirectory, ui->actCopyCellValue};
    if (!index.isValid()) {
        for (QAction *action : editing)
            action->setEnabled(false);
        for (QAction *action : others)
            action->setVisible(false);
        for (QAction *action : editing + others) {
            action->setProperty(rowProperty, -1);
            action->setProperty(colProperty, -1);
        }
    } else {
        for (QAction *action : editing + others) {
            action->setEnabled(true);
            action->setVisible(true);
            action->setProperty(rowProperty, index.row());
            action->setProperty(colProperty, index.column());
        }
        ui->actManualConnect->setEnabled(NEXIL_MANUAL_CONSOLE);
        ui->actEnableRow->setText(model->stations().at(index.row()).active ? tr("Disable") : tr("Enable"));
        ui->actCopyCellValue->setText(
            tr("Copy \"%1\" value").arg(model->headerData(index.column(), Qt::Horizontal).toString()));
    }
    tableMenu->popup(ui->tableView->viewport()->mapToGlobal(point));
}

void MainWindow::showHeaderMenu(const QPoint &)
{
    QHeaderView *header = ui->tableView->horizontalHeader();
    auto *menu = new CheckMenu(tr("Column visibility"), this);
    menu->setObjectName(QStringLiteral("headerMenu"));
    menu->setWindowTitle(menu->title());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int column = 0; column < model->columnCount(); ++column) {
        QAction *action = menu->addAction(model->headerData(column, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
        action->setData(column);
    }
    connect(menu, &QMenu::triggered, this, [this](QAction *action) { toggleColumn(action->data().toInt()); });
    menu->popup(QCursor::pos());
}

void MainWindow::toggleColumn(int column)
{
    QHeaderView *header = ui->tableView->horizontalHeader();
    if (!header->isSectionHidden(column)) {
        if (header->count() - header->hiddenSectionCount() <= 1)
            return;
        header->hideSection(column);
    } else {
        header->showSection(column);
        if (header->sectionSize(column) < 6)
            header->resizeSection(column, 100);
    }
    saveWindowState();
}

void MainWindow::hideDefaultColumns()
{
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->hideSection(StationTableModel::ColumnId);
    header->hideSection(2);
    // The quantities; the last one, "Doluluk Oranı", stays.
    for (int column = StationTableModel::ColumnFirstValue; column < StationTableModel::ColumnLastValue;
         ++column)
        header->hideSection(column);
}

void MainWindow::arrangeColumns()
{
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->moveSection(header->visualIndex(StationTableModel::ColumnStatus),
                        header->visualIndex(StationTableModel::ColumnTitle) + 1);
    for (int column = 0; column < model->columnCount(); ++column) {
        if (!header->isSectionHidden(column))
            header->resizeSection(column, qMax(header->sectionSize(column), header->sectionSizeHint(column)));
    }
    header->resizeSection(StationTableModel::ColumnTitle,
                          qMax(header->sectionSize(StationTableModel::ColumnTitle), titleWidth));
    header->resizeSection(StationTableModel::ColumnStatus, statusWidth);
}

void MainWindow::restoreWindowState()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const QByteArray headerState = settings.value(QStringLiteral("StationList/HeaderState")).toByteArray();
    if (headerState.isEmpty() || !ui->tableView->horizontalHeader()->restoreState(headerState)) {
        hideDefaultColumns();
        arrangeColumns();
    } else if (settings.value(QStringLiteral("StationList/HeaderVersion")).toInt() < headerLayoutVersion) {
        arrangeColumns();
    }
    resize(settings.value(QStringLiteral("MainWindow/size"), QSize(1024, 768)).toSize());
    move(settings.value(QStringLiteral("MainWindow/pos"), QPoint(0, 0)).toPoint());
    restoreState(settings.value(QStringLiteral("MainWindow/state")).toByteArray());
    if (settings.value(QStringLiteral("MainWindow/maximized"), false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::saveWindowState()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("StationList/HeaderState"),
                      ui->tableView->horizontalHeader()->saveState());
    settings.setValue(QStringLiteral("StationList/HeaderVersion"), headerLayoutVersion);
    settings.setValue(QStringLiteral("MainWindow/maximized"), isMaximized());
    if (!isMaximized()) {
        settings.setValue(QStringLiteral("MainWindow/pos"), pos());
        settings.setValue(QStringLiteral("MainWindow/size"), size());
        settings.setValue(QStringLiteral("MainWindow/state"), saveState());
    }
    settings.sync();
}

void MainWindow::on_actStartCollecting_triggered()
{
    // The button says what a click does now.
    ui->actStartCollecting->setText(ui->actStartCollecting->isChecked() ? tr("Pause Collecting")
                                                                        : tr("Start Collecting"));
    if (ui->actStartCollecting->isChecked()) {
        ui->actStartCollecting->setIcon(QIcon(QStringLiteral(":/images/stop.png")));
        controller->startCollecting();
        if (leases)
            leases->start();
    } else {
        ui->actStartCollecting->setIcon(QIcon(QStringLiteral(":/images/play.png")));
        controller->pauseCollecting();
        // Paused here, the stations are free for the other collectors.
        if (leases)
            leases->releaseAll();
    }
}

void MainWindow::on_actionQuit_triggered()
{
    close();
}

void MainWindow::on_actAddStation_triggered()
{
    EditStationDialog dialog(model, QModelIndex(), this);
    dialog.setQuestions(m_questions);
    if (m_runDialog(&dialog) == QDialog::Accepted)
        recount();
}

void MainWindow::on_actEditStation_triggered()
{
    const int row = stationRow(ui->actEditStation);
    if (row < 0)
        return;
    EditStationDialog dialog(model, model->index(row, 0), this);
    dialog.setQuestions(m_questions);
    m_runDialog(&dialog);
}

void MainWindow::on_actDeleteStation_triggered()
{
    const int row = stationRow(ui->actDeleteStation);
    if (row < 0)
        return;
    const DBStation station = model->stations().at(row);
    // A long title must not stretch the question across the screen.
    const auto brief = [](const QString &text) {
        return (text.size() > 60 ? text.left(59) + QChar(0x2026) : text).toHtmlEscaped();
    };
    const QString text =
        QStringLiteral(
            "<html>   <body>       <p style='color:red;font-weight: bold;'>%1</p>       <br>       "
            "<table>           <tr>               <th align='left'>%2</th>               "
            "<td>%3</td>           </tr>           <tr>               <th align='left'>%4</th>  "
            "             <td>%5</td>           </tr>           <tr>               <th "
            "align='left'>%6</th>               <td>%7</td>           </tr>       </table>   "
            "</body></html>")
            .arg(tr("This station will be removed from the list. Are you sure?"),
                 model->headerData(StationTableModel::ColumnTitle, Qt::Horizontal).toString(),
                 brief(station.title), model->headerData(2, Qt::Horizontal).toString(), brief(station.name),
                 model->headerData(3, Qt::Horizontal).toString(), brief(station.code));
    if (m_questions->question(this, tr("Remove Station"), text, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    // Rows move up when another station leaves while the question is open.
    const QList<DBStation> stations = model->stations();
    for (int at = 0; at < stations.size(); ++at) {
        if (stations.at(at).id == station.id) {
            if (!model->removeRows(at, 1))
                storeRefused(tr("Remove Station"), tr("Station %1 was not removed: the database refused it.")
                                                       .arg(station.code.toHtmlEscaped()));
            break;
        }
    }
    ui->actDeleteStation->setProperty(rowProperty, -1);
    refreshActions();
}

void MainWindow::on_actSettings_triggered()
{
    auto *dialog = new SettingsDialog(this);
    dialog->setQuestions(m_questions);
    m_runDialog(dialog);
    delete dialog;
}

void MainWindow::on_actEnableRow_triggered()
{
    const int row = stationRow(ui->actEnableRow);
    if (row < 0)
        return;
    DBStation station = model->stations().at(row);
    station.active = !station.active;
    station.modified = true;
    if (!model->setData(model->index(row, activeColumn), QVariant::fromValue(station), Qt::EditRole))
        storeRefused(
            station.active ? tr("Enable") : tr("Disable"),
            tr("Station %1 was not changed: the database refused it.").arg(station.code.toHtmlEscaped()));
}

void MainWindow::on_tableView_doubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QModelIndex source = proxy->mapToSource(index);
    ui->actEnableRow->setProperty(rowProperty, source.row());
    ui->actEnableRow->setProperty(colProperty, source.column());
    on_actEnableRow_triggered();
}

void MainWindow::on_actUpdateStationData_triggered()
{
    const int row = ui->actUpdateStationData->property(rowProperty).toInt();
    QString holder;
    if (controller->updateStationData(row, &holder) || holder.isEmpty())
        return;
    // Another collector visits it; a visit from here would save its data twice.
    const DBStation station = model->stations().value(row);
    m_questions->information(
        this, tr("Update Station Data"),
        tr("Station %1 is held by the collector %2, which visits it. It is not visited from "
           "here.")
            .arg(station.code.toHtmlEscaped(), holder.toHtmlEscaped()));
}

void MainWindow::on_actManualConnect_triggered()
{
    openManualConsole(stationRow(ui->actManualConnect));
    ui->actManualConnect->setProperty(rowProperty, -1);
}

void MainWindow::on_actManualConnectToolBar_triggered()
{
    openManualConsole(-1);
}

void MainWindow::openManualConsole(int row)
{
#if NEXIL_MANUAL_CONSOLE
    auto *console = new ManualConnection(model, this);
    passQuestions(console, m_questions, 0);
    if (row >= 0) {
        const DBStation station = model->stations().at(row);
        console->presetConnection(station.ip, station.port);
    }
    m_runDialog(console);
    console->deleteLater();
#else
    Q_UNUSED(row)
#endif
}

void MainWindow::on_actCopyCellValue_triggered()
{
    const int row = stationRow(ui->actCopyCellValue);
    const int column = ui->actCopyCellValue->property(colProperty).toInt();
    if (row < 0 || column < 0 || column >= StationTableModel::ColumnCount)
        return;
    QApplication::clipboard()->setText(model->data(model->index(row, column), Qt::DisplayRole).toString());
}

void MainWindow::on_tableView_clicked(const QModelIndex &) {}

void MainWindow::on_actOpenDirectory_triggered()
{
    const int row = stationRow(ui->actOpenDirectory);
    if (row < 0)
        return;
    const DBStation station = model->stations().at(row);
    const QString folder = WorkFolder::stationDir(station.file_path);
    if (!QFileInfo::exists(folder)) {
        m_questions->critical(this, tr("Dizin Aç"), tr("Dosya mevcut değil!\n\n%1").arg(folder));
        return;
    }
    m_reveal(folder, StationFiles::firstDataFile(folder, station.file_name));
}

void MainWindow::on_actionGraphicFromList_triggered()
{
    const int row = stationRow(ui->actionGraphicFromList);
    if (row < 0)
        return;
    const DBStation station = model->stations().at(row);
    const QString file =
        StationFiles::latestDataFile(WorkFolder::stationDir(station.file_path), station.file_name);
    if (!file.isEmpty())
        qCDebug(lcFiles, "File :%s", qPrintable(file));
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        m_questions->warning(
            this, tr("Dosya Hatası"),
            tr("Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!"));
        return;
    }
    openChartViewer(file);
}

void MainWindow::on_actionGraphicFromToolbar_triggered()
{
    openChartViewer(QString());
}

void MainWindow::openChartViewer(const QString &fileName)
{
    auto *chart = new DialogGraphic(fileName, this);
    chart->setQuestions(m_questions);
    // A file in a station's folder is that station's: the one whose folder
    // it is, when only one station has that folder.
    const QPointer<StationTableModel> stations(model);
    chart->setStationOf([stations](const QString &path) {
        if (!stations)
            return 0;
        const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
        int found = 0;
        for (const DBStation &s : stations->stations()) {
            if (folder.isEmpty() ||
                QFileInfo(WorkFolder::stationDir(s.file_path)).canonicalFilePath() != folder)
                continue;
            if (found)
                return 0;
            found = s.id;
        }
        return found;
    });
    chart->setAttribute(Qt::WA_DeleteOnClose);
    chart->setModal(false);
    chart->showMaximized();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_questions->question(this, tr("Quit"), tr("Are you sure want to quit this application?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    QProgressDialog progress(tr("Waiting for workers.."), QString(), 0, 0, this, Qt::FramelessWindowHint);
    progress.setObjectName(QStringLiteral("quitProgress"));
    progress.setWindowTitle(tr("Quit"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setCancelButton(nullptr);
    progress.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    controller->stopCollecting();
    if (leases)
        leases->releaseAll();
    progress.close();
    event->accept();
}
