#include "setupdialogform.h"

#include "setuppages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SetupDialog", text);
}

template<typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSpinBox *plainSpinBox(QWidget *parent, const char *name, int maximum)
{
    auto *box = named(new QSpinBox(parent), name);
    box->setRange(0, maximum);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    return box;
}

QTableWidget *table(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *t = named(new QTableWidget(9, headers.size(), parent), name);
    t->setHorizontalHeaderLabels(headers);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    return t;
}

QWidget *page(QStackedWidget *stack, const char *name)
{
    auto *p = named(new QWidget(stack), name);
    stack->addWidget(p);
    return p;
}

} // namespace

void SetupDialogForm::setupUi(QDialog *dialog)
{
    dialog->setWindowTitle(tr("Kurulum Sihirbazı"));
    dialog->resize(960, 560);
    auto *root = new QVBoxLayout(dialog);

    frameTitle = named(new QFrame(dialog), "frameTitle");
    auto *titleLayout = new QVBoxLayout(frameTitle);
    txtTitle = named(new QLabel(frameTitle), "txtTitle");
    QFont titleFont = txtTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    txtTitle->setFont(titleFont);
    line = named(new QFrame(frameTitle), "line");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    titleLayout->addWidget(txtTitle);
    titleLayout->addWidget(line);
    root->addWidget(frameTitle);

    stackedWidget = named(new QStackedWidget(dialog), "stackedWidget");
    root->addWidget(stackedWidget, 1);

    pageReadParameters = page(stackedWidget, "pageReadParameters");
    auto *readLayout = new QVBoxLayout(pageReadParameters);
    txtReadParameterStatus = named(new QLabel(pageReadParameters), "txtReadParameterStatus");
    txtReadParameterStatus->setAlignment(Qt::AlignCenter);
    readLayout->addWidget(txtReadParameterStatus);

    pageSetupParameters = page(stackedWidget, "pageSetupParameters");
    auto *setupLayout = new QFormLayout(pageSetupParameters);
    auto *setupPage = pageSetupParameters;
    txtDeviceType = named(new QLabel(QStringLiteral("N/A"), setupPage), "txtDeviceType");
    txtSerialNo = named(new QLabel(QStringLiteral("N/A"), setupPage), "txtSerialNo");
    txtFirmware = named(new QLabel(QStringLiteral("N/A"), setupPage), "txtFirmware");
    txtStationName = named(new QLineEdit(setupPage), "txtStationName");
    txtStationName->setMaxLength(24);
    txtStationCode = named(new QLineEdit(setupPage), "txtStationCode");
    txtStationCode->setMaxLength(24);
    sbRegion = plainSpinBox(setupPage, "sbRegion", 255);
    sbBasin = plainSpinBox(setupPage, "sbBasin", 255);
    sbStationNo = plainSpinBox(setupPage, "sbStationNo", 65535);
    sbSensorOnOff = plainSpinBox(setupPage, "sbSensorOnOff", 30);
    sbSensorWait = plainSpinBox(setupPage, "sbSensorWait", 180);
    cmbStartOfDay = named(new QComboBox(setupPage), "cmbStartOfDay");
    cmbStartOfDay->addItems(setupwizard::startOfDayItems());
    cbWaitForExactTime =
        named(new QCheckBox(tr("Kayıt için tam saati bekle"), setupPage), "cbWaitForExactTime");
    cbRS485Output = named(new QCheckBox(tr("RS-485 çıkış"), setupPage), "cbRS485Output");
    cbKeepOldSetups = named(new QCheckBox(tr("Eski kurulumları sakla"), setupPage), "cbKeepOldSetups");
    setupLayout->addRow(tr("Cihaz Tipi"), txtDeviceType);
    setupLayout->addRow(tr("Seri No"), txtSerialNo);
    setupLayout->addRow(tr("Firmware"), txtFirmware);
    setupLayout->addRow(tr("İstasyon Adı"), txtStationName);
    setupLayout->addRow(tr("İstasyon Kodu"), txtStationCode);
    setupLayout->addRow(tr("Bölge"), sbRegion);
    setupLayout->addRow(tr("Havza"), sbBasin);
    setupLayout->addRow(tr("İstasyon No"), sbStationNo);
    setupLayout->addRow(tr("Sensör Açma/Kapama Süresi"), sbSensorOnOff);
    setupLayout->addRow(tr("Sensör Bekleme Süresi"), sbSensorWait);
    setupLayout->addRow(tr("Gün Başlangıcı"), cmbStartOfDay);
    setupLayout->addRow(QString(), cbWaitForExactTime);
    setupLayout->addRow(QString(), cbRS485Output);
    setupLayout->addRow(QString(), cbKeepOldSetups);

    pageNames = page(stackedWidget, "pageNames");
    twNames = table(pageNames, "twNames",
                    {tr("Durum"), tr("Kanal Adı"), tr("Kanal Ölçüm Tipi"), tr("Kayıt Aralığı"),
                     tr("Min/Max Tipi"), tr("Kayıt Tipi")});
    (new QVBoxLayout(pageNames))->addWidget(twNames);

    pageCalibrations = page(stackedWidget, "pageCalibrations");
    twCalibrations = table(pageCalibrations, "twCalibrations",
                           {tr("Birim"), tr("Ofset"), tr("Max Değer"), tr("Min Değer"), tr("Ölçüm Tipi"),
                            tr("Kazanç"), tr("Çarpan"), tr("Min Voltaj")});
    (new QVBoxLayout(pageCalibrations))->addWidget(twCalibrations);

    pageAlarms = page(stackedWidget, "pageAlarms");
    twAlarms = table(pageAlarms, "twAlarms",
                     {tr("Alarm"), tr("Maksimum"), tr("Maksimum Reset"), tr("Minimum"), tr("Minimum Reset")});
    (new QVBoxLayout(pageAlarms))->addWidget(twAlarms);

    pageSend = page(stackedWidget, "pageSend");
    auto *sendLayout = new QVBoxLayout(pageSend);
    auto *passwordRow = new QHBoxLayout;
    txtPassword = named(new QLineEdit(pageSend), "txtPassword");
    txtPassword->setMaxLength(4);
    txtPassword->setEchoMode(QLineEdit::Password);
    passwordRow->addWidget(new QLabel(tr("Şifre"), pageSend));
    passwordRow->addWidget(txtPassword);
    passwordRow->addStretch(1);
    sendLayout->addLayout(passwordRow);
    rbSendOnlyCalibrations = named(new QRadioButton(tr("Yalnızca Kanal Kalibrasyonlarını Gönder"), pageSend),
                                   "rbSendOnlyCalibrations");
    rbSendOnlyAlarms =
        named(new QRadioButton(tr("Yalnızca Alarm Parametrelerini Gönder"), pageSend), "rbSendOnlyAlarms");
    rbSendAll = named(new QRadioButton(tr("Tüm Kurulum Bilgilerini Gönder"), pageSend), "rbSendAll");
    sendLayout->addWidget(rbSendOnlyCalibrations);
    sendLayout->addWidget(rbSendOnlyAlarms);
    sendLayout->addWidget(rbSendAll);
    txtSendStatus = named(new QLabel(pageSend), "txtSendStatus");
    txtSendStatus->setAlignment(Qt::AlignCenter);
    sendLayout->addWidget(txtSendStatus, 1);

    frameButtons = named(new QFrame(dialog), "frameButtons");
    auto *buttons = new QHBoxLayout(frameButtons);
    btnCancel = named(new QPushButton(tr("İptal"), frameButtons), "btnCancel");
    btnBack = named(new QPushButton(tr("< Geri"), frameButtons), "btnBack");
    btnNext = named(new QPushButton(tr("İleri >"), frameButtons), "btnNext");
    btnSend = named(new QPushButton(tr("Gönder"), frameButtons), "btnSend");
    for (QPushButton *b : {btnCancel, btnBack, btnNext, btnSend})
        b->setAutoDefault(false);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnNext);
    buttons->addWidget(btnSend);
    root->addWidget(frameButtons);
}
