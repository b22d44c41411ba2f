#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "support/scriptedquestions.h"
#include "ui/mainwindow.h"
#include "ui/stationfiltermodel.h"
#include "uievents.h"

#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The main window while real workers collect: its counters follow the
// statuses the workers publish.
class tst_MainWindowCollection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void countersFollowTheWorkers();
};

void tst_MainWindowCollection::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    registerDBStation();
}

void tst_MainWindowCollection::countersFollowTheWorkers()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restoreCwd = qScopeGuard([&] { QDir::setCurrent(oldCwd); });
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), R"({"station": {"code": "OK01"}})"),
             qPrintable(sim.error()));

    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    auto closeDb = qScopeGuard([] { DatabaseConnection::close(); });
    auto station = [&](const QString &tag, const QString &code, quint16 port, bool active) {
        DBStation s = fullStation(tag);
        s.code = code;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = port;
        s.active = active;
        s.has_error = false;
        s.download_data = false;
        s.file_path = dir.filePath(tag);
        return DatabaseConnection::insertStation(s);
    };
    const int healthy = station(QStringLiteral("H"), QStringLiteral("OK01"), sim.port, true);
    const int failing = station(QStringLiteral("F"), QStringLiteral("F01"), closedPort(), true);
    station(QStringLiteral("I"), QStringLiteral("I01"), closedPort(), false);

    ScriptedQuestions questions;
    auto window = std::make_unique<MainWindow>();
    window->setQuestions(&questions);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *lblCount = window->findChild<QLabel *>(QStringLiteral("lblCount"));
    auto *lblActive = window->findChild<QLabel *>(QStringLiteral("lblActive"));
    auto *lblInactive = window->findChild<QLabel *>(QStringLiteral("lblInactive"));
    auto *lblError = window->findChild<QLabel *>(QStringLiteral("lblError"));
    QVERIFY(lblError->text().contains(QStringLiteral("<b>Error</b> : 0")));
    // The error count is drawn in the error colour of the model.
    QVERIFY(lblError->text().contains(QStringLiteral("color:%1;").arg(window->stationModel()->errorColor())));

    auto statusOf = [&](int id) {
        const QList<DBStation> stations = window->stationModel()->stations();
        for (const DBStation &s : stations) {
            if (s.id == id)
                return s;
        }
        return DBStation();
    };
    window->findChild<QAction *>(QStringLiteral("actStartCollecting"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(healthy).status, QStringLiteral("Success"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(statusOf(failing).has_error, 30000);
    QTRY_VERIFY(lblError->text().contains(QStringLiteral("<b>Error</b> : 1")));
    QVERIFY(lblCount->text().contains(QStringLiteral("<b>Count</b>: 3")));
    QVERIFY(lblActive->text().contains(QStringLiteral("<b>Active</b> : 2")));
    QVERIFY(lblInactive->text().contains(QStringLiteral("<b>Inactive</b> : 1")));
    QVERIFY(!statusOf(healthy).has_error);
    // The failed visit's end is told after its statistics are stored; from
    // then on the row says since when the station fails.
    {
        int r = 0;
        while (window->stationModel()->stations().at(r).id != failing)
            ++r;
        const QModelIndex cell = window->stationModel()->index(r, StationTableModel::ColumnStatus);
        QTRY_VERIFY(cell.data(Qt::ToolTipRole).toString().contains(QStringLiteral("Failing since ")));
    }

    // Its next visit reaches a logger that never answers. While that visit
    // runs (its error flag cleared when it began) the row stays red, counted
    // and among the failing ones, and tells since when it fails.
    Simulator silent;
    QVERIFY2(silent.start(dir.path(), QStringLiteral("silent"), R"({"station": {"code": "F01"}})",
                          {QStringLiteral("--drop-every"), QStringLiteral("1")}),
             qPrintable(silent.error()));
    StationTableModel *model = window->stationModel();
    int modelRow = 0;
    while (model->stations().at(modelRow).id != failing)
        ++modelRow;
    DBStation moved = model->stations().at(modelRow);
    moved.port = silent.port;
    moved.modified = true;
    QVERIFY(model->setData(model->index(modelRow, 0), QVariant::fromValue(moved)));
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(failing).status, QStringLiteral("Reading parameters"), 30000);
    QVERIFY(!statusOf(failing).has_error);
    QVERIFY(model->isFailing(statusOf(failing)));
    QVERIFY(lblError->text().contains(QStringLiteral("<b>Error</b> : 1")));
    QCOMPARE(model->data(model->index(modelRow, 1), Qt::BackgroundRole).value<QColor>(),
             QColor(model->errorBackground()));
    const QString tip =
        model->data(model->index(modelRow, StationTableModel::ColumnStatus), Qt::ToolTipRole).toString();
    QVERIFY2(tip.startsWith(QStringLiteral("Reading parameters\n\nFailing since ")), qPrintable(tip));
    auto *kind = window->findChild<QComboBox *>(QStringLiteral("cmbFilter"));
    kind->setCurrentIndex(kind->findData(StationFilterModel::OnlyFailing));
    auto *view = window->findChild<QTableView *>(QStringLiteral("tableView"));
    QCOMPARE(view->model()->rowCount(), 1);
    QCOMPARE(view->model()->index(0, 0).data().toInt(), failing);
    kind->setCurrentIndex(kind->findData(StationFilterModel::AllStations));

    // Switching the failing station off takes it out of the error count.
    auto *table = window->findChild<QTableView *>(QStringLiteral("tableView"));
    int row = 0;
    while (table->model()->index(row, 0).data().toInt() != failing)
        ++row;
    const QRect cell = table->visualRect(table->model()->index(row, 3));
    doubleClick(table->viewport(), cell.center());
    QTRY_VERIFY(lblError->text().contains(QStringLiteral("<b>Error</b> : 0")));
    QVERIFY(lblInactive->text().contains(QStringLiteral("<b>Inactive</b> : 2")));

    questions.answer(QMessageBox::Yes);
    QVERIFY(window->close());
    QCOMPARE(window->workerController()->threadCount(), 0);
    window.reset();
}

QTEST_MAIN(tst_MainWindowCollection)
#include "tst_mainwindowcollection.moc"
