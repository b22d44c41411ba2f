#include "../common/stationfixtures.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QColor>
#include <QFont>
#include <QLoggingCategory>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_StationTableModel : public QObject
{
    Q_OBJECT

private slots:
    // The store's "Database Error" lines are debug output, off by default;
    // the tests that expect them switch them on.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("collector.store.debug=true")); }
    void init();
    void cleanup();

    void shapeAndHeaders();
    void loadsStationsAtConstruction();
    void displayValuesAndAlignment();
    void colorsFollowRowState();
    void colorsComeFromSettingsAndAreWrittenBack();
    void failureLastsUntilTheNextVisitEnds();
    void setDataInsertsAppendsAndAnnounces();
    void setDataRefusedInsertChangesNothing();
    void setDataUpdateReplacesWholeRow();
    void setDataRefusedUpdateChangesNothing();
    void setDataIgnoresOtherRoles();
    void updateStationsIsAllOrNothing();
    void removeRowsDeletesFromDatabaseAndList();
    void removeRowsKeepsRowTheDatabaseRefuses();
    void followStoreTakesOthersChangesWithoutWriting();
    void errorFlagIsStoredWithTheStatus();

private:
    static bool refuse(const QString &trigger);
    static QColor color(const StationTableModel &model, int row, int role);

    std::unique_ptr<QTemporaryDir> dir;
    QString oldCwd;
};

bool tst_StationTableModel::refuse(const QString &trigger)
{
    QSqlQuery q;
    return q.exec(trigger);
}

QColor tst_StationTableModel::color(const StationTableModel &model, int row, int role)
{
    return model.data(model.index(row, 3), role).value<QColor>();
}

void tst_StationTableModel::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path())); // settings.ini lives in the working directory
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
}

void tst_StationTableModel::cleanup()
{
    DatabaseConnection::close();
    QDir::setCurrent(oldCwd);
    dir.reset();
}

void tst_StationTableModel::shapeAndHeaders()
{
    StationTableModel model;
    QCOMPARE(model.columnCount(), 46);
    QCOMPARE(model.columnCount(model.index(0, 0)), 46);
    QCOMPARE(model.rowCount(), 0);
    QStringList headers;
    for (int c = 0; c < 46; ++c)
        headers << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers.mid(0, 4), QStringList({"#ID", "Title", "Station Name", "Station Code"}));
    QCOMPARE(headers.at(12), QStringLiteral("Last Connection Time"));
    QCOMPARE(headers.at(17), QStringLiteral("Download Data"));
    QCOMPARE(headers.at(21), QStringLiteral("Excel Export"));
    QCOMPARE(headers.at(22), QStringLiteral("Air Humudiry"));
    QCOMPARE(headers.at(38), QStringLiteral("Water Level"));
    QCOMPARE(headers.at(44), QStringLiteral("Doluluk Oranı"));
    QCOMPARE(headers.at(45), QStringLiteral("Status"));
    QVERIFY(!model.headerData(1, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(1, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.headerData(46, Qt::Horizontal).isValid());
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemIsEnabled);
}

void tst_StationTableModel::loadsStationsAtConstruction()
{
    const int a = DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    StationTableModel model;
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.stations().at(0).id, a);
    QCOMPARE(model.stations().at(1).id, b);
    QVERIFY(model.stations().at(1).status.isEmpty()); // stored but not read back
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

void tst_StationTableModel::displayValuesAndAlignment()
{
    DatabaseConnection::insertStation(fullStation());
    StationTableModel model;
    auto text = [&](int col) { return model.data(model.index(0, col)).toString(); };
    QCOMPARE(text(1), QStringLiteral("Title A"));
    QCOMPARE(text(12), QStringLiteral("2026-03-04 05:06:07"));
    QCOMPARE(model.data(model.index(0, 13)).toBool(), true);
    QCOMPARE(text(16), QStringLiteral("a@example.org,b@example.org"));
    for (int c = 22; c <= 44; ++c)
        QCOMPARE(text(c), QStringLiteral("0.00"));

    DBStation s = model.stations().at(0);
    s.values[0] = 12.345f;
    s.values[22] = -3.0f;
    s.status = QStringLiteral("Download completed.");
    QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(s)));
    QCOMPARE(text(22), QStringLiteral("12.35"));
    QCOMPARE(text(44), QStringLiteral("-3.00"));
    QCOMPARE(text(45), QStringLiteral("Download completed."));
    QCOMPARE(model.data(model.index(0, 45), Qt::ToolTipRole).toString(),
             QStringLiteral("Download completed."));
    QCOMPARE(model.data(model.index(0, 1), Qt::ToolTipRole).toString(), QStringLiteral("Title A"));
    QVERIFY(!model.data(model.index(0, 2), Qt::ToolTipRole).isValid());

    auto align = [&](int col) { return model.data(model.index(0, col), Qt::TextAlignmentRole).toInt(); };
    QCOMPARE(align(0), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(align(4), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(align(7), int(Qt::AlignHCenter | Qt::AlignVCenter));
    QCOMPARE(align(10), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(align(11), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(align(17), int(Qt::AlignHCenter | Qt::AlignVCenter));
    QCOMPARE(align(30), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(align(45), int(Qt::AlignLeft | Qt::AlignVCenter));

    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model.data(model.index(1, 1)).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
}

void tst_StationTableModel::colorsFollowRowState()
{
    DBStation active = fullStation(QStringLiteral("on"));
    DBStation inactive = fullStation(QStringLiteral("off"));
    inactive.active = false;
    DatabaseConnection::insertStation(active);
    DatabaseConnection::insertStation(inactive);
    DBStation failing = fullStation(QStringLiteral("err"));
    StationTableModel model;
    failing.has_error = true;
    QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(failing)));
    QCOMPARE(color(model, 0, Qt::ForegroundRole), QColor("#FFFFFF"));
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#008080"));
    QCOMPARE(color(model, 1, Qt::ForegroundRole), QColor("#999999"));
    QCOMPARE(color(model, 1, Qt::BackgroundRole), QColor("#F0F0F0"));
    QCOMPARE(color(model, 2, Qt::ForegroundRole), QColor("#FFFFFF"));
    QCOMPARE(color(model, 2, Qt::BackgroundRole), QColor("#FF002A"));

    // An inactive station in error is drawn as inactive.
    DBStation s = model.stations().at(2);
    s.active = false;
    QVERIFY(model.setData(model.index(2, 0), QVariant::fromValue(s)));
    QCOMPARE(color(model, 2, Qt::BackgroundRole), QColor("#F0F0F0"));
}

// A visit clears the error flag when it starts; the row still shows the
// last finished visit's outcome until this visit has ended.
void tst_StationTableModel::failureLastsUntilTheNextVisitEnds()
{
    DBStation stored = fullStation(QStringLiteral("late"));
    stored.has_error = true;
    stored.status = QStringLiteral("Connection timed out");
    DatabaseConnection::insertStation(stored);
    DatabaseConnection::insertStation(fullStation(QStringLiteral("fine")));
    StationTableModel model;
    const auto tip = [&](int row) {
        return model.data(model.index(row, StationTableModel::ColumnStatus), Qt::ToolTipRole).toString();
    };
    const auto publish = [&](int row, bool error, const QString &status) {
        DBStation s = model.stations().at(row);
        s.has_error = error;
        s.status = status;
        model.showPublishedStatus(s);
    };
    // At start the statistics tell: failing, with no time it began.
    const int id = model.stations().at(0).id;
    QVERIFY(!model.isFailing(model.stations().at(0)));
    model.setVisitFacts(id, false, 2, QDateTime(QDate(2026, 12, 1), QTime(8, 30)), false);
    QVERIFY(model.isFailing(model.stations().at(0)));
    QVERIFY2(tip(0).endsWith(
                 QStringLiteral("Failing; last success 2026-12-01 08:30 (2 failed visit(s) in a row)")),
             qPrintable(tip(0)));

    publish(0, false, QStringLiteral("Reading parameters"));
    QVERIFY(model.isFailing(model.stations().at(0)));
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#FF002A"));
    QVERIFY(tip(0).startsWith(QStringLiteral("Reading parameters")));

    // Another failed visit: still failing since before this run.
    publish(0, true, QStringLiteral("Connection timed out"));
    model.visitEnded(id, true);
    QVERIFY(tip(0).contains(QStringLiteral("Failing; last success")));

    // Only a visit that ends well clears it.
    publish(0, false, QStringLiteral("Download completed."));
    model.visitEnded(id, false);
    QVERIFY(!model.isFailing(model.stations().at(0)));
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#008080"));
    QVERIFY(!tip(0).contains(QStringLiteral("Failing")));
    // Late statistics of an earlier visit do not bring the failure back.
    model.setVisitFacts(id, false, 2, QDateTime());
    QVERIFY(!model.isFailing(model.stations().at(0)));

    // A failure seen to begin: since when, through the next visit's start.
    publish(0, true, QStringLiteral("Connection timed out"));
    model.visitEnded(id, true);
    const QString since = QStringLiteral("Failing since %1")
                              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    model.setVisitFacts(id, false, 1, QDateTime());
    publish(0, false, QStringLiteral("Reading parameters"));
    QVERIFY2(tip(0).contains(since + QStringLiteral(" (1 failed visit(s) in a row)")), qPrintable(tip(0)));
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#FF002A"));
    model.visitEnded(id, false);
    // The statistics of a first failure may come before the visit's end.
    model.setVisitFacts(id, false, 1, QDateTime());
    model.visitEnded(id, true);
    QVERIFY2(tip(0).contains(since), qPrintable(tip(0)));
    model.visitEnded(id, false);

    // A clock beyond the limit has colours of its own; a failure outranks it.
    model.setVisitFacts(id, true, 0, QDateTime());
    QVERIFY(model.hasDriftWarning(model.stations().at(0)));
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#FFC000"));
    QCOMPARE(color(model, 0, Qt::ForegroundRole), QColor("#000000"));
    QVERIFY(tip(0).contains(QStringLiteral("clock")));
    model.visitEnded(id, true);
    QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#FF002A"));
    QCOMPARE(color(model, 1, Qt::BackgroundRole), QColor("#008080"));

    // Statuses the workers store in English read in the window's language.
    QCOMPARE(StationTableModel::shownStatus(QStringLiteral("Downloading packages 6/17 (x)")),
             QStringLiteral("Downloading packages 6/17 (x)"));

    // A switched-off station reads differently, not by colour alone.
    DBStation off = model.stations().at(1);
    off.active = false;
    QVERIFY(model.setData(model.index(1, 0), QVariant::fromValue(off)));
    QVERIFY(model.data(model.index(1, 1), Qt::FontRole).value<QFont>().italic());
    QVERIFY(!model.isFailing(model.stations().at(1)));
    QVERIFY(tip(1).contains(QStringLiteral("Collection is off")));
}

void tst_StationTableModel::colorsComeFromSettingsAndAreWrittenBack()
{
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Model/enable-background"), QStringLiteral("#123456"));
        settings.setValue(QStringLiteral("Model/error"), QStringLiteral("#abcdef"));
    }
    DBStation s = fullStation();
    s.has_error = true;
    {
        StationTableModel model;
        QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(s)));
        QCOMPARE(color(model, 0, Qt::ForegroundRole), QColor("#abcdef"));
        s = model.stations().at(0);
        s.has_error = false;
        QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(s)));
        QCOMPARE(color(model, 0, Qt::BackgroundRole), QColor("#123456"));
        QCOMPARE(model.errorColor(), QStringLiteral("#abcdef"));
        // A change made while the model lives is overwritten on destruction.
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Model/error"), QStringLiteral("#000000"));
    }
    QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Model/error")).toString(), QStringLiteral("#abcdef"));
    QCOMPARE(settings.value(QStringLiteral("Model/enable-background")).toString(), QStringLiteral("#123456"));
    QCOMPARE(settings.value(QStringLiteral("Model/disable")).toString(), QStringLiteral("#999999"));
    QCOMPARE(settings.value(QStringLiteral("Model/disable-background")).toString(),
             QStringLiteral("#F0F0F0"));
    QCOMPARE(settings.value(QStringLiteral("Model/enable")).toString(), QStringLiteral("#FFFFFF"));
    QCOMPARE(settings.value(QStringLiteral("Model/error-background")).toString(), QStringLiteral("#FF002A"));
}

void tst_StationTableModel::setDataInsertsAppendsAndAnnounces()
{
    DatabaseConnection::insertStation(fullStation(QStringLiteral("first")));
    StationTableModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    DBStation s = fullStation(QStringLiteral("new"));
    s.modified = true;
    QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(s)));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QCOMPARE(inserted.at(0).at(2).toInt(), 1);
    const DBStation stored = model.stations().at(1);
    QVERIFY(stored.id > 0);
    QCOMPARE(stored.title, QStringLiteral("Title new"));
    QVERIFY(stored.modified); // the flag is kept as it came
    QCOMPARE(DatabaseConnection::selectStations().at(1).id, stored.id);
}

void tst_StationTableModel::setDataRefusedInsertChangesNothing()
{
    StationTableModel model;
    QVERIFY(refuse(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON stations "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!model.setData(QModelIndex(), QVariant::fromValue(fullStation())));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(inserted.count(), 0);
}

void tst_StationTableModel::setDataUpdateReplacesWholeRow()
{
    DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    StationTableModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    DBStation s = model.stations().at(1);
    s.name = QStringLiteral("O'Brien");
    s.status = QStringLiteral("Reading parameters");
    s.has_error = true;
    s.values[5] = 1.5f;
    QVERIFY(model.setData(model.index(1, 13), QVariant::fromValue(s)));
    QCOMPARE(changed.count(), 1);
    const QModelIndex tl = changed.at(0).at(0).value<QModelIndex>();
    const QModelIndex br = changed.at(0).at(1).value<QModelIndex>();
    QCOMPARE(tl.row(), 1);
    QCOMPARE(tl.column(), 0);
    QCOMPARE(br.row(), 1);
    QCOMPARE(br.column(), 45);
    QVERIFY(changed.at(0).at(2).value<QVector<int>>().isEmpty());
    QCOMPARE(model.stations().at(1).name, QStringLiteral("O'Brien"));
    QVERIFY(model.stations().at(1).has_error);
    QCOMPARE(model.stations().at(1).values[5], 1.5f);
    QCOMPARE(model.stations().at(0).name, QStringLiteral("Name a"));
    QCOMPARE(DatabaseConnection::selectStations().at(1).name, QStringLiteral("O'Brien"));
}

void tst_StationTableModel::setDataRefusedUpdateChangesNothing()
{
    DatabaseConnection::insertStation(fullStation());
    StationTableModel model;
    QVERIFY(refuse(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stations "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    DBStation s = model.stations().at(0);
    s.status = QStringLiteral("changed");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!model.setData(model.index(0, 0), QVariant::fromValue(s)));
    QVERIFY(model.stations().at(0).status.isEmpty());
    QCOMPARE(changed.count(), 0);
}

void tst_StationTableModel::setDataIgnoresOtherRoles()
{
    DatabaseConnection::insertStation(fullStation());
    StationTableModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    DBStation s = model.stations().at(0);
    s.title = QStringLiteral("other");
    QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(s), Qt::DisplayRole));
    QCOMPARE(model.stations().at(0).title, QStringLiteral("Title A"));
    QCOMPARE(changed.count(), 0);
}

void tst_StationTableModel::updateStationsIsAllOrNothing()
{
    DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    StationTableModel model;
    QList<DBStation> records = model.stations();
    records[0].status = QStringLiteral("one");
    records[1].status = QStringLiteral("two");
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.updateStations({0, 1}, records));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(model.stations().at(1).status, QStringLiteral("two"));

    QVERIFY(!model.updateStations({0, 2}, records)); // no such row
    QVERIFY(refuse(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stations WHEN NEW.status = 'bad' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    records[0].status = QStringLiteral("fine");
    records[1].status = QStringLiteral("bad");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!model.updateStations({0, 1}, records));
    QCOMPARE(model.stations().at(0).status, QStringLiteral("one"));
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("SELECT status FROM stations ORDER BY id")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("one")); // rolled back
}

void tst_StationTableModel::removeRowsDeletesFromDatabaseAndList()
{
    DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    DatabaseConnection::insertStation(fullStation(QStringLiteral("c")));
    StationTableModel model;
    // The record is still in the list when the removal is announced.
    int seenId = -1;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&](const QModelIndex &, int first, int) { seenId = model.stations().at(first).id; });
    QVERIFY(model.removeRows(1, 1));
    QCOMPARE(seenId, b);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.stations().at(1).title, QStringLiteral("Title c"));
    QCOMPARE(DatabaseConnection::selectStations().size(), 2);

    QVERIFY(model.removeRows(0, 2));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(DatabaseConnection::selectStations().isEmpty());
    QVERIFY(!model.removeRows(0, 1));
}

void tst_StationTableModel::removeRowsKeepsRowTheDatabaseRefuses()
{
    DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    StationTableModel model;
    QVERIFY(refuse(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON stations WHEN OLD.code = 'CODEb' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!model.removeRows(0, 2));
    QCOMPARE(removed.count(), 1); // only the row that left the database
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.stations().at(0).code, QStringLiteral("CODEb"));
    QCOMPARE(DatabaseConnection::selectStations().size(), 1);
}

void tst_StationTableModel::followStoreTakesOthersChangesWithoutWriting()
{
    const int a = DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    const int c = DatabaseConnection::insertStation(fullStation(QStringLiteral("c")));
    StationTableModel model;
    QList<DBStation> rows = model.stations();
    rows[0].values[0] = 4.5f; // seen by this program only
    rows[0].has_error = true;
    rows[2].status = QStringLiteral("Mine");
    QVERIFY(model.updateStations({0, 2}, {rows.at(0), rows.at(2)}));

    // Another operator deleted b, renamed a and added d; another collector
    // stored statuses for a and c.
    QList<DBStation> stored = DatabaseConnection::selectStations();
    stored.removeAt(1);
    stored[0].name = QStringLiteral("Köprübaşı");
    stored[0].status = QStringLiteral("Theirs");
    stored[1].status = QStringLiteral("Theirs too");
    DBStation d = fullStation(QStringLiteral("d"));
    d.id = c + 1;
    stored.append(d);

    QList<int> removed, modifiedRows, changedRows;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&](const QModelIndex &, int first, int) { removed << model.stations().at(first).id; });
    connect(&model, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &topLeft) {
        changedRows << topLeft.row();
        if (model.stations().at(topLeft.row()).modified)
            modifiedRows << topLeft.row();
    });
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.followStore(stored, {c});

    QCOMPARE(removed, QList<int>{b});
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(modifiedRows, QList<int>{0}); // only a settings change goes to the worker
    QCOMPARE(changedRows, QList<int>{0});  // c keeps its own status: nothing to show
    const DBStation first = model.stations().at(0);
    QCOMPARE(first.id, a);
    QCOMPARE(first.name, QStringLiteral("Köprübaşı"));
    QCOMPARE(first.status, QStringLiteral("Theirs"));
    QCOMPARE(first.values[0], 4.5f);
    // The error flag travels with the status: the collector that stored it knows.
    QCOMPARE(first.has_error, stored.at(0).has_error);
    QVERIFY(!first.modified); // announced once, not on every later change
    QCOMPARE(model.stations().at(1).status, QStringLiteral("Mine"));
    QCOMPARE(model.stations().at(2).id, d.id);

    // Nothing was written back.
    QCOMPARE(DatabaseConnection::selectStations().size(), 3);
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("SELECT name FROM stations WHERE id = %1").arg(a)) && q.next());
    QCOMPARE(q.value(0).toString(), fullStation(QStringLiteral("a")).name);

    // A device type that a visit recorded (through another collector) is
    // taken without being passed on as the operator's change.
    QList<DBStation> later = DatabaseConnection::selectStations();
    later.removeAt(1);
    later[0] = model.stations().at(0);
    later.append(model.stations().at(2));
    later[2].device_type.clear();
    model.followStore(later, {c});
    modifiedRows.clear();
    changedRows.clear();
    later[2].device_type = QStringLiteral("TQD310");
    model.followStore(later, {c});
    QCOMPARE(model.stations().at(2).device_type, QStringLiteral("TQD310"));
    QCOMPARE(changedRows, QList<int>{2});
    QVERIFY(modifiedRows.isEmpty());
}

// Another collector's failing station is coloured in every window: the flag
// travels with the status through the store, also into a store made before
// the flag had a column.
void tst_StationTableModel::errorFlagIsStoredWithTheStatus()
{
    DatabaseConnection::close();
    const QString old = dir->filePath(QStringLiteral("old.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(old);
        QVERIFY(db.open());
        QSqlQuery q(db);
        // The table as stores made before the flag have it.
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE stations (id INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT NOT NULL, name TEXT NOT "
            "NULL, code TEXT NOT NULL, region INTEGER NOT NULL DEFAULT (0), basin INTEGER NOT NULL DEFAULT "
            "(0), "
            "no INTEGER NOT NULL DEFAULT (0), device_type TEXT, phone TEXT, ip TEXT, port INTEGER NOT NULL "
            "DEFAULT (4380), connection_period INTEGER NOT NULL DEFAULT (60), last_connection_time TEXT, "
            "active "
            "INTEGER NOT NULL DEFAULT (0), coordinate TEXT NOT NULL DEFAULT ('0.000000, 0.000000'), email "
            "INTEGER NOT NULL DEFAULT (0), emaillist TEXT NOT NULL DEFAULT (''), file_path TEXT, file_name "
            "TEXT, "
            "export_text INTEGER NOT NULL DEFAULT (1), export_excel INTEGER NOT NULL DEFAULT (1), status "
            "TEXT, "
            "download_data INTEGER NOT NULL DEFAULT(1))")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO stations(title, name, code) VALUES('T', 'N', 'OLD')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    DatabaseConnection db;
    QVERIFY(db.connectToDatabase(old, QString(), 0, QString(), QString()));
    QCOMPARE(DatabaseConnection::selectStations().size(), 1);
    const int id = DatabaseConnection::insertStation(fullStation(QStringLiteral("B")));
    QVERIFY(id > 0);

    StationTableModel here;
    StationTableModel there;
    const int row = here.stations().size() - 1;
    DBStation status = here.stations().at(row);
    status.status = QStringLiteral("Bağlantı kurulamadı");
    status.has_error = true;
    QVERIFY(here.updateStatuses({row}, {status}));
    bool ok = false;
    const QList<DBStation> stored = DatabaseConnection::selectStationsWithStatus(&ok);
    QVERIFY(ok);
    QVERIFY(stored.last().has_error);
    QVERIFY(!stored.first().has_error);

    // A window that does not visit it takes the flag; the one that does keeps its own.
    QSignalSpy changed(&there, &QAbstractItemModel::dataChanged);
    there.followStore(stored, {});
    QVERIFY(there.stations().at(row).has_error);
    QCOMPARE(there.stations().at(row).status, status.status);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(color(there, row, Qt::BackgroundRole), QColor(there.errorBackground()));
    DBStation recovered = status;
    recovered.has_error = false;
    there.showPublishedStatus(recovered);
    there.followStore(stored, {id});
    QVERIFY(!there.stations().at(row).has_error);
}

QTEST_GUILESS_MAIN(tst_StationTableModel)
#include "tst_stationtablemodel.moc"
