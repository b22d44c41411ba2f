#include "dialoggraphic.h"
#include "ui_dialoggraphic.h"

#include "chartchecks.h"
#include "chartplan.h"
#include "charttooltip.h"
#include "collectorlogging.h"
#include "questions.h"
#include "store/databaseconnection.h"
#include "store/workfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <utility>

using namespace QtCharts;

namespace {

// A range Qt Charts can draw (not empty), twice as wide about its centre when
// zoomed out.
std::pair<double, double> drawnRange(double from, double to, double minimumSpan, bool zoomedOut)
{
    if (from == to) {
        from -= minimumSpan / 2;
        to += minimumSpan / 2;
    }
    if (zoomedOut) {
        const double half = (to - from) / 2;
        from -= half;
        to += half;
    }
    return {from, to};
}

} // namespace

DialogGraphic::DialogGraphic(QString fileName, QWidget *parent)
    : QDialog(parent), ui(new Ui::DialogGraphic), m_questions(Questions::dialogs()),
      fileName(std::move(fileName))
{
    ui->setupUi(this);
    ui->stackedWidget->setCurrentIndex(0);
    ui->txtFileName->setText(this->fileName);
    if (!this->fileName.isEmpty())
        loadFile();
    updateButtons();
}

DialogGraphic::~DialogGraphic()
{
    delete ui;
}

void DialogGraphic::loadFile()
{
    ChartFile file = ChartFile::read(fileName);
    m_loadStatus = file.status();
    m_loadError = file.errorString();
    if (file.status() == ChartFile::Unreadable)
        return;
    m_file = file;
    ui->lstChannels->clear();
    for (const ChartChannel &channel : m_file.channels()) {
        auto *item = new QListWidgetItem(channel.name, ui->lstChannels);
        item->setData(Qt::UserRole, QVariantList{channel.id, channel.unit});
    }
    readChecks();
}

void DialogGraphic::setStationOf(std::function<int(const QString &)> stationOf)
{
    m_stationOf = std::move(stationOf);
    readChecks();
}

void DialogGraphic::readChecks()
{
    m_checks.clear();
    if (!m_stationOf || fileName.isEmpty() || m_file.status() != ChartFile::Loaded)
        return;
    const int stationId = m_stationOf(fileName);
    // Without them the chart is the file's alone.
    if (stationId > 0 &&
        !ChartChecks::read(DatabaseConnection::connectionName(), stationId, m_file, &m_checks))
        qCDebug(lcStore, "station %d: the channel checks could not be read for the chart", stationId);
}

void DialogGraphic::updateButtons()
{
    const bool settings = ui->stackedWidget->currentIndex() == 0;
    ui->btnNext->setEnabled(settings && !fileName.isEmpty());
    ui->btnPrev->setEnabled(!settings);
    ui->btnSave->setEnabled(!settings);
}

QVector<int> DialogGraphic::selectChannels(const QVector<int> &ids)
{
    QVector<int> missing;
    ui->lstChannels->clearSelection();
    for (int id : ids) {
        QListWidgetItem *found = nullptr;
        for (int row = 0; row < ui->lstChannels->count() && !found; ++row) {
            QListWidgetItem *item = ui->lstChannels->item(row);
            if (item->data(Qt::UserRole).toList().value(0).toInt() == id)
                found = item;
        }
        if (found)
            found->setSelected(true);
        else
            missing.append(id);
    }
    return missing;
}

QPixmap DialogGraphic::grabChart(const QSize &size)
{
    if (!chartView)
        return QPixmap();
    // Out of the dialog's layout, so the view takes the size asked for.
    ui->graphicLayout->removeWidget(chartView);
    chartView->setParent(nullptr);
    chartView->resize(size);
    const QPixmap pixmap = chartView->grab();
    ui->graphicLayout->addWidget(chartView);
    return pixmap;
}

bool DialogGraphic::writePng(const QPixmap &pixmap, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!pixmap.save(&file, "PNG")) {
        *error =
            file.error() != QFileDevice::NoError ? file.errorString() : tr("The image could not be encoded.");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void DialogGraphic::tooltip(QPointF point, bool state)
{
    if (!state || !chart || !sender())
        return;
    chart->setToolTip(chartToolTip(sender()->objectName(), point));
}

void DialogGraphic::onLineHovered(const QPointF &point, bool state)
{
    if (!state || !chart)
        return;
    for (const ChannelSeries &series : qAsConst(m_channelSeries)) {
        if (series.line != sender())
            continue;
        // Screen distance: the two axes have very different units.
        const auto *valueAxis = qobject_cast<QValueAxis *>(series.line->attachedAxes().value(1));
        const QSizeF plot =
            chart->plotArea().isEmpty() ? QSizeF(chartView->size()) : chart->plotArea().size();
        const double timeSpan =
            double(m_timeAxis->max().toMSecsSinceEpoch() - m_timeAxis->min().toMSecsSinceEpoch());
        const double valueSpan = valueAxis ? valueAxis->max() - valueAxis->min() : 0;
        const double xScale = timeSpan > 0 ? plot.width() / timeSpan : 1;
        const double yScale = valueSpan > 0 ? plot.height() / valueSpan : 1;
        QPointF nearest;
        if (series.index.nearest(point, xScale, yScale, &nearest))
            chart->setToolTip(chartToolTip(series.line->objectName(), nearest));
        return;
    }
}

void DialogGraphic::showMarkersInView()
{
    if (!m_timeAxis)
        return;
    const double from = double(m_timeAxis->min().toMSecsSinceEpoch());
    const double to = double(m_timeAxis->max().toMSecsSinceEpoch());
    for (const ChannelSeries &series : qAsConst(m_channelSeries)) {
        const QVector<QPointF> points = series.index.between(from, to, ChartPlan::markerLimit);
        if (points.isEmpty() && series.markers->count() == 0)
            continue;
        series.markers->replace(points);
    }
}

void DialogGraphic::buildChart()
{
    // Forget the old chart before it goes, in case it signals while dying.
    QChartView *old = chartView;
    chartView = nullptr;
    chart = nullptr;
    m_timeAxis = nullptr;
    m_channelSeries.clear();
    if (old) {
        ui->graphicLayout->removeWidget(old);
        delete old; // and its chart
    }

    QVector<ChartChannel> chosen;
    for (const QListWidgetItem *item : ui->lstChannels->selectedItems()) {
        const QVariantList data = item->data(Qt::UserRole).toList();
        ChartChannel channel;
        channel.id = data.value(0).toInt();
        channel.unit = data.value(1).toString();
        channel.name = item->text();
        chosen.append(channel);
    }
    const bool daily = ui->cbDailyMinMax->isChecked();
    const ChartPlan plan = planChart(m_file, chosen, ui->cbSensorErrors->isChecked(), daily, m_checks);

    chart = new QChart;
    chart->setTitle(plan.title);
    chart->setAcceptHoverEvents(true);
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat(ChartPlan::timeFormat);
    m_timeAxis->setTickCount(ChartPlan::timeTickCount);
    chart->addAxis(m_timeAxis, Qt::AlignBottom);

    QVector<QValueAxis *> valueAxes;
    QVector<QPair<QLineSeries *, double>> limitLines;
    for (const ChartChannelPlan &channel : plan.channels) {
        ChannelSeries series;
        series.line = new QLineSeries;
        series.line->setName(channel.channel.name);
        series.line->setObjectName(channel.objectName);
        series.line->replace(channel.points);
        series.markers = new QScatterSeries;
        series.markers->setObjectName(channel.objectName);
        series.markers->setMarkerSize(5);
        chart->addSeries(series.line);
        const QColor colour = series.line->pen().color();
        series.markers->setColor(colour);
        series.markers->setBorderColor(colour);
        chart->addSeries(series.markers);
        // The points belong to the line: the legend names each channel once.
        const QList<QLegendMarker *> markers = chart->legend()->markers(series.markers);
        for (QLegendMarker *marker : markers)
            marker->setVisible(false);

        auto *valueAxis = new QValueAxis;
        valueAxis->setLinePenColor(colour);
        valueAxis->setTitleText(channel.axisTitle);
        chart->addAxis(valueAxis, Qt::AlignLeft);
        valueAxes.append(valueAxis);
        for (QXYSeries *s :
             {static_cast<QXYSeries *>(series.line), static_cast<QXYSeries *>(series.markers)}) {
            s->attachAxis(m_timeAxis);
            s->attachAxis(valueAxis);
        }
        connect(series.markers, &QScatterSeries::hovered, this, &DialogGraphic::tooltip);
        connect(series.line, &QLineSeries::hovered, this, &DialogGraphic::onLineHovered);

        for (const ChartDailySeries &extremes : channel.daily) {
            auto *scatter = new QScatterSeries;
            scatter->setName(extremes.name);
            scatter->setObjectName(extremes.objectName);
            scatter->setColor(extremes.colour);
            scatter->replace(extremes.points);
            chart->addSeries(scatter);
            scatter->attachAxis(m_timeAxis);
            scatter->attachAxis(valueAxis);
            connect(scatter, &QScatterSeries::hovered, this, &DialogGraphic::tooltip);
        }
        for (const ChartDailySeries &flagged : channel.flagged) {
            auto *scatter = new QScatterSeries;
            scatter->setName(flagged.name);
            scatter->setObjectName(flagged.objectName);
            scatter->setColor(flagged.colour);
            scatter->setBorderColor(flagged.colour);
            scatter->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
            scatter->setMarkerSize(8);
            scatter->replace(flagged.points);
            chart->addSeries(scatter);
            scatter->attachAxis(m_timeAxis);
            scatter->attachAxis(valueAxis);
            connect(scatter, &QScatterSeries::hovered, this, &DialogGraphic::tooltip);
        }
        for (const ChartLimitLine &limit : channel.limits) {
            // Two points across the file's times, spread to the axis below.
            auto *line = new QLineSeries;
            line->setName(limit.name);
            line->setObjectName(limit.objectName);
            QPen pen(limit.colour);
            pen.setWidthF(limit.clearing ? 1.0 : 2.0);
            pen.setStyle(limit.clearing ? Qt::DotLine : Qt::DashLine);
            line->setPen(pen);
            chart->addSeries(line);
            line->attachAxis(m_timeAxis);
            line->attachAxis(valueAxis);
            if (limit.clearing)
                for (QLegendMarker *marker : chart->legend()->markers(line))
                    marker->setVisible(false);
            connect(line, &QLineSeries::hovered, this, [this, line](const QPointF &, bool state) {
                if (state && chart)
                    chart->setToolTip(line->name());
            });
            limitLines.append({line, limit.value});
        }
        series.index = PointIndex(channel.points);
        m_channelSeries.append(series);
    }
    // Every axis spans all its points: left alone, an axis takes the range of
    // the first series attached, which for an empty series is 1970. With the
    // daily extremes the chart opens zoomed out once, keeping them off the
    // plot's border; as a range of its own, so Reset comes back to it.
    if (plan.hasTimes) {
        const auto range = drawnRange(double(plan.firstTime), double(plan.lastTime), 3600000, daily);
        m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(range.first)),
                             QDateTime::fromMSecsSinceEpoch(qint64(range.second)));
        // Far beyond both ends, so that a limit spans the plot zoomed out too.
        const double span = qMax(range.second - range.first, 3600000.0) * 1000;
        for (const auto &limit : qAsConst(limitLines))
            limit.first->replace(QVector<QPointF>{QPointF(range.first - span, limit.second),
                                                  QPointF(range.second + span, limit.second)});
    }
    for (int i = 0; i < plan.channels.size(); ++i) {
        if (plan.channels[i].hasValues) {
            const auto range = drawnRange(plan.channels[i].minValue, plan.channels[i].maxValue, 1, daily);
            valueAxes[i]->setRange(range.first, range.second);
        }
    }

    chartView = new QChartView(chart);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setRubberBand(QChartView::HorizontalRubberBand);
    ui->graphicLayout->addWidget(chartView);

    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &DialogGraphic::showMarkersInView);
    showMarkersInView();
}

void DialogGraphic::on_btnCancel_clicked()
{
    accept();
}

void DialogGraphic::on_btnPrev_clicked()
{
    ui->stackedWidget->setCurrentIndex(0);
    updateButtons();
}

void DialogGraphic::on_btnNext_clicked()
{
    ui->stackedWidget->setCurrentIndex(1);
    updateButtons();
}

void DialogGraphic::on_btnSelectFile_clicked()
{
    const QString path =
        m_questions->openFileName(this, tr("Dosya Seç"), startFolder(), tr("XML Dosya (*.xml)"));
    if (path.isEmpty())
        return;
    fileName = path;
    ui->txtFileName->setText(fileName);
    loadFile();
    updateButtons();
}

void DialogGraphic::on_stackedWidget_currentChanged(int arg1)
{
    if (arg1 != 0)
        buildChart();
}

void DialogGraphic::on_cbDailyMinMax_toggled(bool checked)
{
    if (checked) {
        ui->lstChannels->clearSelection();
        ui->lstChannels->setSelectionMode(QAbstractItemView::SingleSelection);
    } else {
        ui->lstChannels->setSelectionMode(QAbstractItemView::MultiSelection);
    }
}

void DialogGraphic::on_btnSave_clicked()
{
    QString path = m_questions->saveFileName(this, tr("Kaydet"), startFolder(), tr("PNG Dosya (*.png)"));
    if (path.isEmpty() || !chartView)
        return;
    // A name typed without an extension still gets a PNG file of that type.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    QString error;
    if (!writePng(chartView->grab(), path, &error))
        m_questions->critical(this, tr("Dosya Kaydetme Hatası"), error);
}

QString DialogGraphic::startFolder() const
{
    // The folder of the file shown, else where the stations' data files lie.
    if (!fileName.isEmpty() && QFileInfo(fileName).absoluteDir().exists())
        return QFileInfo(fileName).absolutePath();
    const WorkFolder &folder = WorkFolder::current();
    if (QFileInfo(folder.filesDir()).isDir())
        return folder.filesDir();
    return QFileInfo(folder.dataDir()).isDir() ? folder.dataDir() : QDir::currentPath();
}

void DialogGraphic::on_btnZoomOut_clicked()
{
    if (chart)
        chart->zoomOut();
}

void DialogGraphic::on_btnZoomIn_clicked()
{
    if (chart)
        chart->zoomIn();
}

void DialogGraphic::on_btnZoomReset_clicked()
{
    if (chart)
        chart->zoomReset();
}
