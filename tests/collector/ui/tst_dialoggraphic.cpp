#include "nexil/excel/datafilewriter.h"
#include "store/workfolder.h"
#include "support/scriptedquestions.h"
#include "ui/chartplan.h"
#include "ui/dialoggraphic.h"

#include <QCheckBox>
#include <QDateTime>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

using namespace QtCharts;

class tst_DialogGraphic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void opensOnTheSettingsPage();
    void choosingAFile();
    void pagesAndButtons();
    void noChannelShowsOnlyTheTimeAxis();
    void sensorErrorChannelKeepsItsAxis();
    void channelsGetColouredAxesAndTheirPoints();
    void dailyOptionSelectsOneChannel();
    void dailySeriesNeedMinima();
    void toolTipOfHoveredPoints();
    void markersOnlyForFewPointsInView();
    void zoomButtonsAndRubberBand();
    void saveWritesThePng();
    void unwritablePngShowsTheErrorBox();

private:
    template<typename T> T *child(const char *name) { return m_dialog->findChild<T *>(QLatin1String(name)); }
    void click(const char *button) { child<QPushButton>(button)->click(); }
    // The chart page, laid out as the user sees it.
    void showChart()
    {
        click("btnNext");
        QTRY_VERIFY(!chart()->plotArea().isEmpty());
    }
    void open(const QString &path);
    void select(const QVector<int> &rows);
    QChart *chart();
    QVector<QAbstractSeries *> seriesNamed(const QString &objectName);
    QDateTimeAxis *timeAxis()
    {
        return qobject_cast<QDateTimeAxis *>(chart()->axes(Qt::Horizontal).value(0));
    }
    static double span(QDateTimeAxis *axis)
    {
        return double(axis->max().toMSecsSinceEpoch() - axis->min().toMSecsSinceEpoch());
    }

    QTemporaryDir m_dir;
    QString m_year;  // channel 0: 3,000 values, channel 1: all sensor errors
    QString m_daily; // minima and maxima for channel 0, maxima only for channel 1
    DialogGraphic *m_dialog = nullptr;
    ScriptedQuestions m_questions;
};

static qint64 at(const QDateTime &start, int slot)
{
    return start.addSecs(slot * 600).toMSecsSinceEpoch();
}

void tst_DialogGraphic::initTestCase()
{
    QVector<datafile::Line> lines;
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
    for (int i = 0; i < 3000; ++i) {
        const QDateTime t = start.addSecs(i * 600);
        const QString date = t.toString(QStringLiteral("yyyy-MM-dd")),
                      time = t.toString(QStringLiteral("hh:mm"));
        lines.append({0, QStringLiteral("INS"), date, time, double(100 + i % 144)});
        lines.append({1, QStringLiteral("INS"), date, time, -9999});
    }
    m_year = m_dir.filePath(QStringLiteral("D15A012_01032024.xml"));
    QVERIFY(datafile::write(m_year, {{0, "AH", "Su-Seviyesi", "cm"}, {1, "SC", "Sıcaklık", "°C"}}, lines));

    m_daily = m_dir.filePath(QStringLiteral("daily.xml"));
    QVERIFY(datafile::write(m_daily, {{0, "AH", "Seviye", "cm"}, {1, "YG", "Yağış", "mm"}},
                            {{0, "INS", "2024-03-01", "10:00", 10},
                             {0, "INS", "2024-03-02", "10:00", 20},
                             {0, "MIN", "2024-03-01", "04:00", 5},
                             {0, "MAX", "2024-03-01", "15:00", 25},
                             {1, "INS", "2024-03-01", "10:00", 1},
                             {1, "MAX", "2024-03-01", "15:00", 3}}));
}

void tst_DialogGraphic::init()
{
    m_questions = ScriptedQuestions();
}

void tst_DialogGraphic::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    QCOMPARE(m_questions.unanswered, 0);
}

void tst_DialogGraphic::open(const QString &path)
{
    m_dialog = new DialogGraphic(path);
    m_dialog->setQuestions(&m_questions);
    m_dialog->resize(1200, 800);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
}

void tst_DialogGraphic::select(const QVector<int> &rows)
{
    auto *list = child<QListWidget>("lstChannels");
    list->clearSelection();
    for (int row : rows)
        list->item(row)->setSelected(true);
}

QChart *tst_DialogGraphic::chart()
{
    auto *view = m_dialog->findChild<QChartView *>();
    return view ? view->chart() : nullptr;
}

QVector<QAbstractSeries *> tst_DialogGraphic::seriesNamed(const QString &objectName)
{
    QVector<QAbstractSeries *> found;
    for (QAbstractSeries *s : chart()->series())
        if (s->objectName() == objectName)
            found.append(s);
    return found;
}

void tst_DialogGraphic::opensOnTheSettingsPage()
{
    open(QString());
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Grafik"));
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QVERIFY(!child<QPushButton>("btnNext")->isEnabled());
    QVERIFY(!child<QPushButton>("btnPrev")->isEnabled());
    QVERIFY(!child<QPushButton>("btnSave")->isEnabled());
    QCOMPARE(child<QListWidget>("lstChannels")->count(), 0);
    QVERIFY(child<QCheckBox>("cbSensorErrors")->isChecked());
    QVERIFY(!child<QCheckBox>("cbDailyMinMax")->isChecked());
    // Zooming without a chart does nothing.
    click("btnZoomIn");
    click("btnZoomOut");
    click("btnZoomReset");
    delete m_dialog;

    open(m_year);
    QCOMPARE(child<QLineEdit>("txtFileName")->text(), m_year);
    QVERIFY(child<QPushButton>("btnNext")->isEnabled());
    auto *list = child<QListWidget>("lstChannels");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Su-Seviyesi"));
    QCOMPARE(list->item(0)->data(Qt::UserRole).toList(), (QVariantList{0, QStringLiteral("cm")}));
    QCOMPARE(list->item(1)->data(Qt::UserRole).toList(), (QVariantList{1, QStringLiteral("°C")}));
}

void tst_DialogGraphic::choosingAFile()
{
    // With no file shown, the chooser starts where the working folder keeps
    // the stations' data files.
    const QString work = m_dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work + QStringLiteral("/files")));
    const WorkFolder before = WorkFolder::current();
    WorkFolder::setCurrent(WorkFolder::resolve(work, QString(), QString(), QString()));
    open(QString());
    m_questions.choose(QString());
    click("btnSelectFile");
    WorkFolder::setCurrent(before);
    QCOMPARE(m_questions.last().kind, ScriptedQuestions::OpenFile);
    QCOMPARE(m_questions.last().title, QStringLiteral("Dosya Seç"));
    QCOMPARE(m_questions.last().dir, work + QStringLiteral("/files"));
    QCOMPARE(m_questions.last().filter, QStringLiteral("XML Dosya (*.xml)"));
    QVERIFY(child<QLineEdit>("txtFileName")->text().isEmpty());
    QVERIFY(!child<QPushButton>("btnNext")->isEnabled());

    m_questions.choose(m_daily);
    click("btnSelectFile");
    QCOMPARE(child<QLineEdit>("txtFileName")->text(), m_daily);
    QCOMPARE(child<QListWidget>("lstChannels")->item(1)->text(), QStringLiteral("Yağış"));
    QVERIFY(child<QPushButton>("btnNext")->isEnabled());
    // Then beside the file shown.
    m_questions.choose(QString());
    click("btnSelectFile");
    QCOMPARE(m_questions.last().dir, QFileInfo(m_daily).absolutePath());
    QCOMPARE(child<QLineEdit>("txtFileName")->text(), m_daily);

    // A file that cannot be opened leaves the channels as they were.
    m_questions.choose(m_dir.filePath(QStringLiteral("missing.xml")));
    click("btnSelectFile");
    QCOMPARE(child<QListWidget>("lstChannels")->count(), 2);
    QCOMPARE(m_dialog->loadStatus(), ChartFile::Unreadable);

    // One that is not well-formed leaves none.
    const QString broken = m_dir.filePath(QStringLiteral("broken.xml"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<device><header>");
    file.close();
    m_questions.choose(broken);
    click("btnSelectFile");
    QCOMPARE(child<QListWidget>("lstChannels")->count(), 0);
    click("btnNext");
    QVERIFY(chart()->series().isEmpty());
}

void tst_DialogGraphic::pagesAndButtons()
{
    open(m_daily);
    select({0});
    click("btnNext");
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    QVERIFY(!child<QPushButton>("btnNext")->isEnabled());
    QVERIFY(child<QPushButton>("btnPrev")->isEnabled());
    QVERIFY(child<QPushButton>("btnSave")->isEnabled());
    QCOMPARE(chart()->series().size(), 2);

    // Every visit to the chart page draws the current choice afresh.
    click("btnPrev");
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QVERIFY(!child<QPushButton>("btnSave")->isEnabled());
    select({0, 1});
    click("btnNext");
    QCOMPARE(m_dialog->findChildren<QChartView *>().size(), 1);
    QCOMPARE(chart()->series().size(), 4);

    click("btnCancel");
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QVERIFY(!m_dialog->isVisible());
}

void tst_DialogGraphic::noChannelShowsOnlyTheTimeAxis()
{
    open(m_year);
    click("btnNext");
    QCOMPARE(chart()->title(), QStringLiteral("Kızılırmak - Söğütlü"));
    QVERIFY(chart()->series().isEmpty());
    QCOMPARE(chart()->axes().size(), 1);
    QDateTimeAxis *axis = timeAxis();
    QVERIFY(axis);
    QCOMPARE(axis->alignment(), Qt::AlignBottom);
    QCOMPARE(axis->format(), QStringLiteral("yyyy-MM-dd<br>hh:mm"));
    QCOMPARE(axis->tickCount(), 10);
}

void tst_DialogGraphic::sensorErrorChannelKeepsItsAxis()
{
    open(m_year);
    select({1});
    click("btnNext");
    auto *line = qobject_cast<QLineSeries *>(chart()->series().value(0));
    auto *markers = qobject_cast<QScatterSeries *>(chart()->series().value(1));
    QVERIFY(line && markers);
    QCOMPARE(line->count(), 0);
    QCOMPARE(markers->count(), 0);
    const QList<QAbstractAxis *> values = chart()->axes(Qt::Vertical);
    QCOMPARE(values.size(), 1);
    QCOMPARE(values[0]->titleText(), QStringLiteral("Sıcaklık - °C"));

    // Shown, the markers are values like any other.
    click("btnPrev");
    child<QCheckBox>("cbSensorErrors")->setChecked(false);
    select({1});
    click("btnNext");
    line = qobject_cast<QLineSeries *>(chart()->series().value(0));
    QCOMPARE(line->count(), 3000);
    QCOMPARE(line->at(0).y(), -9999.0);
}

void tst_DialogGraphic::channelsGetColouredAxesAndTheirPoints()
{
    open(m_daily);
    select({0, 1});
    click("btnNext");
    const QList<QAbstractAxis *> values = chart()->axes(Qt::Vertical);
    QCOMPARE(values.size(), 2);
    QList<QColor> colours;
    for (int i = 0; i < 2; ++i) {
        auto *line = qobject_cast<QLineSeries *>(chart()->series().value(2 * i));
        auto *markers = qobject_cast<QScatterSeries *>(chart()->series().value(2 * i + 1));
        QVERIFY(line && markers);
        QCOMPARE(values[i]->alignment(), Qt::AlignLeft);
        QCOMPARE(values[i]->linePenColor(), line->pen().color());
        QCOMPARE(markers->color(), line->pen().color());
        QCOMPARE(markers->borderColor(), line->pen().color());
        QCOMPARE(markers->markerSize(), 5.0);
        QCOMPARE(line->attachedAxes(), (QList<QAbstractAxis *>{timeAxis(), values[i]}));
        QCOMPARE(markers->attachedAxes(), (QList<QAbstractAxis *>{timeAxis(), values[i]}));
        colours.append(line->pen().color());
    }
    QVERIFY(colours[0] != colours[1]);
    auto *level = qobject_cast<QLineSeries *>(chart()->series().value(0));
    QCOMPARE(level->name(), QStringLiteral("Seviye"));
    QCOMPARE(level->pointsVector(), ChartFile::read(m_daily).points(0, ChartFile::Instant));
    QCOMPARE(seriesNamed(QStringLiteral("Yağış - mm")).size(), 2);
    // The axes span the values of every channel, whichever came first.
    QCOMPARE(timeAxis()->min(), QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
    QCOMPARE(timeAxis()->max(), QDateTime(QDate(2024, 3, 2), QTime(10, 0)));
    QCOMPARE(qobject_cast<QValueAxis *>(values[0])->min(), 10.0);
    QCOMPARE(qobject_cast<QValueAxis *>(values[0])->max(), 20.0);
}

void tst_DialogGraphic::dailyOptionSelectsOneChannel()
{
    open(m_daily);
    auto *list = child<QListWidget>("lstChannels");
    select({0, 1});
    child<QCheckBox>("cbDailyMinMax")->setChecked(true);
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(1)});
    child<QCheckBox>("cbDailyMinMax")->setChecked(false);
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
}

void tst_DialogGraphic::dailySeriesNeedMinima()
{
    open(m_daily);
    child<QCheckBox>("cbDailyMinMax")->setChecked(true);
    select({1}); // maxima but no minima
    click("btnNext");
    QCOMPARE(chart()->series().size(), 2);

    click("btnPrev");
    select({0});
    click("btnNext");
    QCOMPARE(chart()->series().size(), 4);
    auto *minimum =
        qobject_cast<QScatterSeries *>(seriesNamed(QStringLiteral("Günlük Minimum - cm")).value(0));
    auto *maximum =
        qobject_cast<QScatterSeries *>(seriesNamed(QStringLiteral("Günlük Maksimum - cm")).value(0));
    QVERIFY(minimum && maximum);
    QCOMPARE(minimum->name(), QStringLiteral("Günlük Minimum"));
    QCOMPARE(minimum->color(), QColor(Qt::blue));
    QCOMPARE(maximum->name(), QStringLiteral("Günlük Maksimum"));
    QCOMPARE(maximum->color(), QColor(Qt::red));
    QCOMPARE(maximum->at(0).y(), 25.0);
    // Opened zoomed out once: the extremes stand inside the plot.
    auto *values = qobject_cast<QValueAxis *>(chart()->axes(Qt::Vertical).value(0));
    QCOMPARE(values->min(), -5.0);
    QCOMPARE(values->max(), 35.0);
    QVERIFY(timeAxis()->min() < QDateTime(QDate(2024, 3, 1), QTime(4, 0)));
    QVERIFY(timeAxis()->max() > QDateTime(QDate(2024, 3, 2), QTime(10, 0)));
}

void tst_DialogGraphic::toolTipOfHoveredPoints()
{
    open(m_year);
    select({0});
    showChart();
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
    auto *line = qobject_cast<QLineSeries *>(chart()->series().value(0));
    auto *markers = qobject_cast<QScatterSeries *>(chart()->series().value(1));
    emit markers->hovered(QPointF(double(at(start, 7)), 107), true);
    QVERIFY(chart()->toolTip().contains(QStringLiteral("15px;'>Su</td>")));
    QVERIFY(chart()->toolTip().contains(QStringLiteral("<td>01.03.2024 01:10</td>")));
    QVERIFY(chart()->toolTip().contains(QStringLiteral("<td>107 cm</td>")));
    // Leaving a point keeps the text.
    const QString tip = chart()->toolTip();
    emit markers->hovered(QPointF(double(at(start, 9)), 109), false);
    QCOMPARE(chart()->toolTip(), tip);

    // Where there are no markers, the line gives the nearest point's tool tip.
    emit line->hovered(QPointF(double(at(start, 1000)) + 60000, 100 + 1000 % 144 + 0.2), true);
    QVERIFY(chart()->toolTip().contains(QStringLiteral("<td>07.03.2024 22:40</td>")));
    QVERIFY(chart()->toolTip().contains(QStringLiteral("<td>%1 cm</td>").arg(100 + 1000 % 144)));
}

void tst_DialogGraphic::markersOnlyForFewPointsInView()
{
    open(m_daily);
    select({0});
    showChart();
    QCOMPARE(qobject_cast<QScatterSeries *>(chart()->series().value(1))->count(), 2);
    delete m_dialog;

    open(m_year);
    select({0});
    showChart();
    auto *line = qobject_cast<QLineSeries *>(chart()->series().value(0));
    auto *markers = qobject_cast<QScatterSeries *>(chart()->series().value(1));
    QCOMPARE(line->count(), 3000);
    QVERIFY(3000 > ChartPlan::markerLimit);
    QCOMPARE(markers->count(), 0);

    // A twentieth of the time: 150 values, few enough for markers.
    const QRectF plot = chart()->plotArea();
    chart()->zoomIn(QRectF(plot.left() + plot.width() * 0.4, plot.top(), plot.width() / 20, plot.height()));
    const double from = double(timeAxis()->min().toMSecsSinceEpoch());
    const double to = double(timeAxis()->max().toMSecsSinceEpoch());
    QVERIFY2(markers->count() >= 149 && markers->count() <= 151,
             qPrintable(QString::number(markers->count())));
    for (const QPointF &p : markers->pointsVector())
        QVERIFY(p.x() >= from && p.x() <= to);
    click("btnZoomReset");
    QCOMPARE(markers->count(), 0);
}

void tst_DialogGraphic::zoomButtonsAndRubberBand()
{
    open(m_year);
    select({0});
    showChart();
    QCOMPARE(m_dialog->findChild<QChartView *>()->rubberBand(), QChartView::HorizontalRubberBand);
    QDateTimeAxis *axis = timeAxis();
    const double full = span(axis);
    QCOMPARE(full, 2999 * 600000.0);
    click("btnZoomIn");
    QVERIFY(qAbs(span(axis) - full / 2) < 60000);
    click("btnZoomIn");
    QVERIFY(qAbs(span(axis) - full / 4) < 60000);
    click("btnZoomOut");
    QVERIFY(qAbs(span(axis) - full / 2) < 60000);
    click("btnZoomReset");
    QCOMPARE(span(axis), full);

    // Dragging across a tenth of the plot zooms into that stretch of time.
    auto *view = m_dialog->findChild<QChartView *>();
    const QRectF plot = chart()->plotArea();
    const QPoint from =
        view->mapFromScene(chart()->mapToScene(plot.topLeft() + QPointF(plot.width() * 0.4, 20)));
    const QPoint to =
        view->mapFromScene(chart()->mapToScene(plot.topLeft() + QPointF(plot.width() * 0.5, 80)));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
    QVERIFY2(qAbs(span(axis) - full / 10) < full / 50, qPrintable(QString::number(span(axis) / full)));
    // Ten days of 10-minute values: few enough for markers.
    QVERIFY(qobject_cast<QScatterSeries *>(chart()->series().value(1))->count() > 0);
}

void tst_DialogGraphic::saveWritesThePng()
{
    open(m_daily);
    select({0});
    click("btnNext");
    m_questions.choose(QString());
    click("btnSave");
    QCOMPARE(m_questions.last().kind, ScriptedQuestions::SaveFile);
    QCOMPARE(m_questions.last().title, QStringLiteral("Kaydet"));
    QCOMPARE(m_questions.last().dir, QFileInfo(m_daily).absolutePath());
    QCOMPARE(m_questions.last().filter, QStringLiteral("PNG Dosya (*.png)"));

    // A name typed without an extension is saved as a .png file.
    const QString path = m_dir.filePath(QStringLiteral("chart.png"));
    m_questions.choose(m_dir.filePath(QStringLiteral("chart")));
    click("btnSave");
    QCOMPARE(m_questions.asked.size(), 2);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("chart"))));
    QImage image;
    QVERIFY(image.load(path, "PNG"));
    QCOMPARE(image.size(), m_dialog->findChild<QChartView *>()->size());
    // The chart is drawn: the line's colour is in the picture.
    const QColor colour = qobject_cast<QLineSeries *>(chart()->series().value(0))->pen().color();
    bool found = false;
    for (int y = 0; y < image.height() && !found; y += 2)
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixelColor(x, y) == colour;
    QVERIFY(found);
}

void tst_DialogGraphic::unwritablePngShowsTheErrorBox()
{
    open(m_daily);
    click("btnNext");
    const QString path = m_dir.filePath(QStringLiteral("no/such/folder/chart.png"));
    m_questions.choose(path);
    m_questions.answer(QMessageBox::Ok);
    click("btnSave");
    QCOMPARE(m_questions.asked.size(), 2);
    QCOMPARE(m_questions.last().icon, QMessageBox::Critical);
    QCOMPARE(m_questions.last().title, QStringLiteral("Dosya Kaydetme Hatası"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QCOMPARE(m_questions.last().text, file.errorString());
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(tst_DialogGraphic)
#include "tst_dialoggraphic.moc"
