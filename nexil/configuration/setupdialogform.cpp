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
    dialog->setWindowTitle(QCoreApplication::translate("SetupDialog", "Kurulum Sihirbazı"));
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
    cbWaitForExactTime = named(
        new QCheckBox(QCoreApplication::translate("SetupDialog", "Kayıt için tam saati bekle"), setupPage),
        "cbWaitForExactTime");
    cbRS485Output =
        named(new QCheckBox(QCoreApplication::translate("SetupDialog", "RS-485 çıkış"), setupPage),
              "cbRS485Output");
    cbKeepOldSetups =
        named(new QCheckBox(QCoreApplication::translate("SetupDialog", "Eski kurulumları sakla"), setupPage),
              "cbKeepOldSetups");
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Cihaz Tipi"), txtDeviceType);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Seri No"), txtSerialNo);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Firmware"), txtFirmware);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "İstasyon Adı"), txtStationName);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "İstasyon Kodu"), txtStationCode);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Bölge"), sbRegion);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Havza"), sbBasin);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "İstasyon No"), sbStationNo);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Sensör Açma/Kapama Süresi"),
                        sbSensorOnOff);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Sensör Bekleme Süresi"), sbSensorWait);
    setupLayout->addRow(QCoreApplication::translate("SetupDialog", "Gün Başlangıcı"), cmbStartOfDay);
    setupLayout->addRow(QString(), cbWaitForExactTime);
    setupLayout->addRow(QString(), cbRS485Output);
    setupLayout->addRow(QString(), cbKeepOldSetups);

    pageNames = page(stackedWidget, "pageNames");
    twNames = table(pageNames, "twNames",
                    {QCoreApplication::translate("SetupDialog", "Durum"),
                     QCoreApplication::translate("SetupDialog", "Kanal Adı"),
                     QCoreApplication::translate("SetupDialog", "Kanal Ölçüm Tipi"),
                     QCoreApplication::translate("SetupDialog", "Kayıt Aralığı"),
                     QCoreApplication::translate("SetupDialog", "Min/Max Tipi"),
                     QCoreApplication::translate("SetupDialog", "Kayıt Tipi")});
    (new QVBoxLayout(pageNames))->addWidget(twNames);

    pageCalibrations = page(stackedWidget, "pageCalibrations");
    twCalibrations = table(pageCalibrations, "twCalibrations",
                           {QCoreApplication::translate("SetupDialog", "Birim"),
                            QCoreApplication::translate("SetupDialog", "Ofset"),
                            QCoreApplication::translate("SetupDialog", "Max Değer"),
                            QCoreApplication::translate("SetupDialog", "Min Değer"),
                            QCoreApplication::translate("SetupDialog", "Ölçüm Tipi"),
                            QCoreApplication::translate("SetupDialog", "Kazanç"),
                            QCoreApplication::translate("SetupDialog", "Çarpan"),
                            QCoreApplication::translate("SetupDialog", "Min Voltaj")});
    (new QVBoxLayout(pageCalibrations))->addWidget(twCalibrations);

    pageAlarms = page(stackedWidget, "pageAlarms");
    twAlarms = table(pageAlarms, "twAlarms",
                     {QCoreApplication::translate("SetupDialog", "Alarm"),
                      QCoreApplication::translate("SetupDialog", "Maksimum"),
                      QCoreApplication::translate("SetupDialog", "Maksimum Reset"),
                      QCoreApplication::translate("SetupDialog", "Minimum"),
                      QCoreApplication::translate("SetupDialog", "Minimum Reset")});
    (new QVBoxLayout(pageAlarms))->addWidget(twAlarms);

    pageSend = page(stackedWidget, "pageSend");
    auto *sendLayout = new QVBoxLayout(pageSend);
    auto *passwordRow = new QHBoxLayout;
    txtPassword = named(new QLineEdit(pageSend), "txtPassword");
    txtPassword->setMaxLength(4);
    txtPassword->setEchoMode(QLineEdit::Password);
    passwordRow->addWidget(new QLabel(QCoreApplication::translate("SetupDialog", "Şifre"), pageSend));
    passwordRow->addWidget(txtPassword);
    passwordRow->addStretch(1);
    sendLayout->addLayout(passwordRow);
    rbSendOnlyCalibrations = named(
        new QRadioButton(
            QCoreApplication::translate("SetupDialog", "Yalnızca Kanal Kalibrasyonlarını Gönder"), pageSend),
        "rbSendOnlyCalibrations");
    rbSendOnlyAlarms = named(
        new QRadioButton(QCoreApplication::translate("SetupDialog", "Yalnızca Alarm Parametrelerini Gönder"),
                         pageSend),
        "rbSendOnlyAlarms");
    rbSendAll =
        named(new QRadioButton(QCoreApplication::translate("SetupDialog", "Tüm Kurulum Bilgilerini Gönder"),
                               pageSend),
              "rbSendAll");
    sendLayout->addWidget(rbSendOnlyCalibrations);
    sendLayout->addWidget(rbSendOnlyAlarms);
    sendLayout->addWidget(rbSendAll);
    txtSendStatus = named(new QLabel(pageSend), "txtSendStatus");
    txtSendStatus->setAlignment(Qt::AlignCenter);
    sendLayout->addWidget(txtSendStatus, 1);

    frameButtons = named(new QFrame(dialog), "frameButtons");
    auto *buttons = new QHBoxLayout(frameButtons);
    btnCancel = named(new QPushButton(QCoreApplication::translate("SetupDialog", "İptal"), frameButtons),
                      "btnCancel");
    btnBack =
        named(new QPushButton(QCoreApplication::translate("SetupDialog", "< Geri"), frameButtons), "btnBack");
    btnNext = named(new QPushButton(QCoreApplication::translate("SetupDialog", "İleri >"), frameButtons),
                    "btnNext");
    btnSend =
        named(new QPushButton(QCoreApplication::translate("SetupDialog", "Gönder"), frameButtons), "btnSend");
    for (QPushButton *b : {btnCancel, btnBack, btnNext, btnSend})
        b->setAutoDefault(false);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnNext);
    buttons->addWidget(btnSend);
    root->addWidget(frameButtons);
}
