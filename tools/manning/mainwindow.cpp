#include "mainwindow.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "dischargefile.h"
#include "manningtable.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcManning, "tools.manning", QtInfoMsg)

namespace {

QDoubleSpinBox *plainSpinBox(const QString &name, const QString &suffix, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setSuffix(suffix);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setDecimals(2);
    return box;
}

QTableWidgetItem *cell(const QString &text, float value)
{
    auto *item = new QTableWidgetItem(text);
    item->setData(Qt::UserRole, value);
    // Centred vertically like the row numbers beside them.
    item->setData(Qt::TextAlignmentRole, 6 | Qt::AlignVCenter);
    return item;
}

} // namespace

// The images sit in a static library, where nothing else would pull them in.
static void initResources()
{
    Q_INIT_RESOURCE(manning);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    initResources();
    setupUi();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    m_roughnessValues << 0.016f << 0.013f;
    m_roughness->addItem(QStringLiteral("Ham Beton Yüzey"));
    m_roughness->addItem(QStringLiteral("Metal/Dökme Demir"));

    // A rectangle has no side slope, but the tables in use were made with 1.0.
    m_sideSlopes << 1.0f << 1.5f;
    m_channelType->addItem(QStringLiteral("Dikdörtgen"));
    m_channelType->addItem(QStringLiteral("Trapez"));

    on_actionNew_triggered();
}

void MainWindow::setupUi()
{
    setWindowTitle(QStringLiteral("Manning Açık Kanal Debi Hesaplama Aracı"));
    resize(720, 560);

    auto makeAction = [this](const char *name, const QString &text, const QString &icon) {
        auto *action = new QAction(QIcon(icon), text, this);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QAction *actionNew = makeAction("actionNew", QStringLiteral("Yeni"), QStringLiteral(":/images/new.png"));
    QAction *actionSave =
        makeAction("actionSave", QStringLiteral("Kaydet"), QStringLiteral(":/images/save.png"));
    QAction *actionSaveAs =
        makeAction("actionSaveAs", QStringLiteral("Farklı Kaydet"), QStringLiteral(":/images/saveas.png"));
    QAction *actionCalculate =
        makeAction("actionCalculate", QStringLiteral("Hesapla"), QStringLiteral(":/images/calculate.png"));
    QAction *actionQuit =
        makeAction("actionQuit", QStringLiteral("Çıkış"), QStringLiteral(":/images/quit.png"));

    auto *toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("mainToolBar"));
    toolBar->addAction(actionNew);
    toolBar->addAction(actionSave);
    toolBar->addAction(actionSaveAs);
    toolBar->addSeparator();
    toolBar->addAction(actionCalculate);
    toolBar->addSeparator();
    toolBar->addAction(actionQuit);
    addToolBar(Qt::TopToolBarArea, toolBar);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *layout = new QVBoxLayout(central);
    auto *form = new QFormLayout;

    m_baseWidth = plainSpinBox(QStringLiteral("dsbChannelBaseWidth"), QStringLiteral(" m"), central);
    m_baseWidth->setPrefix(QString());
    m_baseWidth->setSingleStep(0.01);
    m_baseWidth->setRange(0.0, 99.99);

    m_slope = plainSpinBox(QStringLiteral("dsbChannelSlope"), QStringLiteral(" %"), central);
    m_slope->setMaximum(100.0);
    m_slope->setSingleStep(0.1);
    m_slope->setValue(0.2);

    m_roughness = new QComboBox(central);
    m_roughness->setObjectName(QStringLiteral("cmbRoughnessCoefficient"));
    m_channelType = new QComboBox(central);
    m_channelType->setObjectName(QStringLiteral("cmbChannelType"));

    m_maxLevel = plainSpinBox(QStringLiteral("dsbMaxLevel"), QStringLiteral(" m"), central);
    m_maxLevel->setMaximum(5.0);
    m_maxLevel->setSingleStep(0.01);

    form->addRow(QStringLiteral("Kanal Taban Genişliği"), m_baseWidth);
    form->addRow(QStringLiteral("Eğim"), m_slope);
    form->addRow(QStringLiteral("Pürüzlülük Katsayısı"), m_roughness);
    form->addRow(QStringLiteral("Kanal Tipi"), m_channelType);
    form->addRow(QStringLiteral("Maksimum Seviye"), m_maxLevel);
    layout->addLayout(form);

    m_table = new QTableWidget(0, 4, central);
    m_table->setObjectName(QStringLiteral("tableWidget"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Seviye"), QStringLiteral("Alan"), QStringLiteral("Hız"), QStringLiteral("Debi")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_table);
    setCentralWidget(central);

    QMetaObject::connectSlotsByName(this);
}

void MainWindow::on_actionCalculate_triggered()
{
    qCDebug(lcManning, "Egim: %f", m_slope->value());
    m_changed = true;
    m_table->setRowCount(0);

    ChannelParameters p;
    p.sideSlope = m_sideSlopes.value(m_channelType->currentIndex(), m_sideSlopes.value(0));
    p.baseWidth = float(m_baseWidth->value());
    p.roughness = m_roughnessValues.value(m_roughness->currentIndex(), m_roughnessValues.value(0));
    p.slope = float(m_slope->value() / 100.0);
    p.limit = levelLimit(m_maxLevel->value());

    const QVector<ManningRow> rows = manningTable(p);
    m_table->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        const ManningRow &row = rows.at(r);
        m_table->setItem(r, 0, cell(QStringLiteral("%1 m").arg(row.level, 0, 'f', 2), row.level * 100.0f));
        m_table->setItem(r, 1, cell(QStringLiteral("%1 m2").arg(row.area, 0, 'f', 4), row.area));
        m_table->setItem(r, 2, cell(QStringLiteral("%1 m/s").arg(row.velocity, 0, 'f', 4), row.velocity));
        m_table->setItem(r, 3, cell(QStringLiteral("%1 m3/s").arg(row.discharge, 0, 'f', 3), row.discharge));
    }
}

void MainWindow::on_actionNew_triggered()
{
    if (!maybeSave())
        return;
    m_changed = false;
    m_fileName.clear();
    m_baseWidth->setValue(0.0);
    m_slope->setValue(0.0002);
    m_roughness->setCurrentIndex(0);
    m_channelType->setCurrentIndex(0);
    m_maxLevel->setValue(0.0);
    m_table->setRowCount(0);
    m_baseWidth->selectAll();
    m_baseWidth->setFocus();
}

bool MainWindow::maybeSave()
{
    if (!m_changed)
        return true;
    const auto answer = m_questions->question(this, QStringLiteral("Dosya"),
                                              QStringLiteral("Hesaplanan bilgiler kaydedilsin mi?"),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    // A save that did not happen (dialog cancelled, disk error) must not
    // let the table be thrown away.
    if (answer == QMessageBox::Yes)
        return save();
    return true;
}

QString MainWindow::askFileName()
{
    return m_questions->saveFileName(this, QStringLiteral("Kaydet"), m_lastDir,
                                     QStringLiteral("XML Dosya (*.xml)"));
}

bool MainWindow::save()
{
    if (m_fileName.isEmpty()) {
        const QString name = askFileName();
        if (name.isEmpty())
            return false;
        m_fileName = name;
        m_lastDir = QFileInfo(name).absolutePath();
    }

    QVector<DischargePoint> points;
    points.reserve(m_table->rowCount());
    for (int r = 0; r < m_table->rowCount(); ++r) {
        DischargePoint p;
        p.levelCm = m_table->item(r, 0)->data(Qt::UserRole).toFloat();
        p.discharge = m_table->item(r, 3)->data(Qt::UserRole).toFloat();
        points.append(p);
    }
    QString error;
    if (!writeDischargeFile(m_fileName, points, QDateTime::currentDateTime(), &error)) {
        m_questions->critical(this, QStringLiteral("Dosya Hatası"), error);
        return false;
    }
    m_changed = false;
    return true;
}

void MainWindow::on_actionSave_triggered()
{
    save();
}

void MainWindow::on_actionSaveAs_triggered()
{
    const QString name = askFileName();
    if (name.isEmpty())
        return;
    m_fileName = name;
    m_lastDir = QFileInfo(name).absolutePath();
    save();
}

void MainWindow::on_actionQuit_triggered()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

bool installQtTurkish(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}
