#pragma once

// Draws the values of one data file as a time chart: the first page picks the
// file, the channels and the options, the second shows the chart with zoom
// and PNG export.

#include "chartfile.h"
#include "chartplan.h"
#include "pointindex.h"

#include <QDialog>
#include <QPixmap>
#include <QPointF>
#include <QVector>

#include <functional>

class Questions;

namespace QtCharts {
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
} // namespace QtCharts

namespace Ui {
class DialogGraphic;
}

class DialogGraphic : public QDialog
{
    Q_OBJECT

public:
    explicit DialogGraphic(QString fileName, QWidget *parent = nullptr);
    ~DialogGraphic() override;

    void setQuestions(Questions *questions) { m_questions = questions; }
    // The station in the store a data file belongs to (0: none); the chart
    // of a station's file draws its channels' alarm limits and marks the
    // values flagged suspect or failed. Read for the file shown and each
    // one picked later.
    void setStationOf(std::function<int(const QString &path)> stationOf);
    // By the file's channel id: what the store knows of the channels.
    QHash<int, ChartChannelChecks> channelChecks() const { return m_checks; }

    // How the last file was read: unreadable files leave the dialog as it was.
    ChartFile::Status loadStatus() const { return m_loadStatus; }
    QString loadError() const { return m_loadError; }
    // Selects the channels with these ids in this order; returns the ids
    // that are not in the file.
    QVector<int> selectChannels(const QVector<int> &ids);
    // The chart as Save writes it, at this size; null without a chart.
    QPixmap grabChart(const QSize &size);

    static bool writePng(const QPixmap &pixmap, const QString &path, QString *error);
    // Where the file and save dialogs start.
    QString startFolder() const;

public slots:
    void tooltip(QPointF point, bool state);
    void on_btnCancel_clicked();
    void on_btnPrev_clicked();
    void on_btnNext_clicked();
    void on_btnSelectFile_clicked();
    void on_stackedWidget_currentChanged(int arg1);
    void on_cbDailyMinMax_toggled(bool checked);
    void on_btnSave_clicked();
    void on_btnZoomOut_clicked();
    void on_btnZoomIn_clicked();
    void on_btnZoomReset_clicked();

private slots:
    void onLineHovered(const QPointF &point, bool state);
    void showMarkersInView();

private:
    // A channel's instant values: every point on the line, markers only for
    // the points in view when there are few enough of them.
    struct ChannelSeries
    {
        QtCharts::QLineSeries *line = nullptr;
        QtCharts::QScatterSeries *markers = nullptr;
        PointIndex index;
    };

    void loadFile();
    void readChecks();
    void updateButtons();
    void buildChart();

    Ui::DialogGraphic *ui;
    Questions *m_questions;
    QString fileName;
    ChartFile m_file;
    ChartFile::Status m_loadStatus = ChartFile::Empty;
    QString m_loadError;
    QtCharts::QChart *chart = nullptr;
    QtCharts::QChartView *chartView = nullptr;
    QtCharts::QDateTimeAxis *m_timeAxis = nullptr;
    QVector<ChannelSeries> m_channelSeries;
    std::function<int(const QString &)> m_stationOf;
    QHash<int, ChartChannelChecks> m_checks;
};
