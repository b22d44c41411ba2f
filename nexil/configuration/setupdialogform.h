#pragma once

// The widgets of the setup wizard, laid out and named; the tables get their
// columns here and their cell widgets from the dialog.

class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QWidget;

class SetupDialogForm
{
public:
    void setupUi(QDialog *dialog);

    QFrame *frameTitle = nullptr;
    QLabel *txtTitle = nullptr;
    QFrame *line = nullptr;
    QStackedWidget *stackedWidget = nullptr;

    QWidget *pageReadParameters = nullptr;
    QLabel *txtReadParameterStatus = nullptr;

    QWidget *pageSetupParameters = nullptr;
    QLabel *txtDeviceType = nullptr;
    QLabel *txtSerialNo = nullptr;
    QLabel *txtFirmware = nullptr;
    QLineEdit *txtStationName = nullptr;
    QLineEdit *txtStationCode = nullptr;
    QSpinBox *sbRegion = nullptr;
    QSpinBox *sbBasin = nullptr;
    QSpinBox *sbStationNo = nullptr;
    QSpinBox *sbSensorOnOff = nullptr;
    QSpinBox *sbSensorWait = nullptr;
    QComboBox *cmbStartOfDay = nullptr;
    QCheckBox *cbWaitForExactTime = nullptr;
    QCheckBox *cbRS485Output = nullptr;
    QCheckBox *cbKeepOldSetups = nullptr;

    QWidget *pageNames = nullptr;
    QTableWidget *twNames = nullptr;
    QWidget *pageCalibrations = nullptr;
    QTableWidget *twCalibrations = nullptr;
    QWidget *pageAlarms = nullptr;
    QTableWidget *twAlarms = nullptr;

    QWidget *pageSend = nullptr;
    QLineEdit *txtPassword = nullptr;
    QRadioButton *rbSendOnlyCalibrations = nullptr;
    QRadioButton *rbSendOnlyAlarms = nullptr;
    QRadioButton *rbSendAll = nullptr;
    QLabel *txtSendStatus = nullptr;

    QFrame *frameButtons = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnBack = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnSend = nullptr;
};
