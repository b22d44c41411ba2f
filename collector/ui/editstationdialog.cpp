#include "editstationdialog.h"
#include "ui_editstationdialog.h"

#include "collectorsettings.h"
#include "identityread.h"
#include "questions.h"
#include "stationform.h"
#include "store/databaseconnection.h"
#include "store/pathpart.h"
#include "store/stationtablemodel.h"

#include <QDir>

EditStationDialog::EditStationDialog(StationTableModel *model, QModelIndex index, QWidget *parent)
    : QDialog(parent), ui(new Ui::EditStationDialog), model(model), index(index),
      m_questions(Questions::dialogs())
{
    ui->setupUi(this);
    resize(417, 486);
    setFixedSize(size());
    ui->btnTest->hide();

    const QList<DBStation> stations = model ? model->stations() : QList<DBStation>();
    if (index.isValid() && index.row() < stations.size()) {
        station = stations.at(index.row());
        loaded = station;
        setWindowTitle(tr("Edit Station"));
    } else {
        this->index = QModelIndex();
        const CollectorSettings settings = CollectorSettings::load();
        // Each station gets its code's folder under the default one, as long
        // as the path shows what was proposed.
        pathParent = settings.defaultPath;
        proposedPath = pathParent;
        station.file_path = pathParent;
        station.export_text = settings.exportToText;
        station.export_excel = settings.exportToExcel;
        setWindowTitle(tr("New Station"));
    }

    identityRead = new IdentityRead(this);
    identityRead->setObjectName(QStringLiteral("identityRead"));
    identityRead->setQuestions(m_questions);
    connect(identityRead, &IdentityRead::identityRead, this, &EditStationDialog::onDeviceIdentity);

    fillForm();
    ui->tabWidget->setCurrentIndex(0);
    connect(ui->txtCode, &QLineEdit::textChanged, this, [this](const QString &code) {
        if (proposedPath.isNull() || ui->txtPath->text() != proposedPath)
            return;
        proposedPath = proposedFolder(pathParent, code);
        ui->txtPath->setText(proposedPath);
    });
}

QString EditStationDialog::proposedFolder(const QString &parent, const QString &code)
{
    // The code may come from the device: only a plain folder name is used.
    const QString name = PathPart::fileName(code.simplified());
    return name.isEmpty() ? parent : QDir(parent).filePath(name);
}

EditStationDialog::~EditStationDialog()
{
    // A read still going reports nothing into a dialog being destroyed.
    identityRead->disconnect(this);
    identityRead->cancel();
    delete ui;
}

void EditStationDialog::setQuestions(Questions *questions)
{
    m_questions = questions ? questions : Questions::dialogs();
    identityRead->setQuestions(m_questions);
}

void EditStationDialog::fillForm()
{
    ui->lblId->setText(QString::number(station.id));
    selectDeviceType(station.device_type);
    ui->txtTitle->setText(station.title);
    ui->txtName->setText(station.name);
    ui->txtCode->setText(station.code);
    ui->sbRegion->setValue(station.region);
    ui->sbBasin->setValue(station.basin);
    ui->sbNo->setValue(station.no);
    ui->txtPhone->setText(station.phone);
    ui->txtIp->setText(station.ip);
    ui->sbPort->setValue(station.port);
    ui->sbPeriod->setValue(station.connection_period);
    double latitude = 0;
    double longitude = 0;
    parseCoordinate(station.coordinate, &latitude, &longitude);
    ui->dsbLatitude->setValue(latitude);
    ui->dsbLongitude->setValue(longitude);
    ui->cbActivateNotifications->setChecked(station.email);
    ui->lwEMail->clear();
    ui->lwEMail->addItems(station.emaillist);
    ui->cbDownloadData->setChecked(station.download_data);
    ui->txtPath->setText(station.file_path);
    ui->txtFileName->setText(station.file_name);
    ui->cbCreateText->setChecked(station.export_text);
    ui->cbCreateExcel->setChecked(station.export_excel);
    updateEnabling();
}

void EditStationDialog::updateEnabling()
{
    const bool notify = ui->cbActivateNotifications->isChecked();
    ui->lwEMail->setEnabled(notify);
    ui->btnAddToList->setEnabled(notify);
    ui->btnRemoveFromList->setEnabled(notify && ui->lwEMail->currentRow() >= 0);
    ui->gbFileSettings->setEnabled(ui->cbDownloadData->isChecked());
}

void EditStationDialog::selectDeviceType(const QString &type)
{
    ui->cmbDeviceType->setCurrentIndex(
        ui->cmbDeviceType->findText(type, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void EditStationDialog::refuse(const QString &title, const QString &message, QWidget *field)
{
    m_questions->critical(this, title, message);
    // The field may sit on another page of the form.
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (ui->tabWidget->widget(i)->isAncestorOf(field))
            ui->tabWidget->setCurrentIndex(i);
    }
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        edit->selectAll();
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(field))
        spin->selectAll();
    field->setFocus();
}

QWidget *EditStationDialog::fieldWidget(int field) const
{
    switch (field) {
    case StationCheck::DeviceType:
        return ui->cmbDeviceType;
    case StationCheck::Name:
        return ui->txtName;
    case StationCheck::Code:
        return ui->txtCode;
    case StationCheck::Ip:
        return ui->txtIp;
    case StationCheck::Port:
        return ui->sbPort;
    case StationCheck::Period:
        return ui->sbPeriod;
    case StationCheck::Path:
        return ui->txtPath;
    default:
        return nullptr;
    }
}

void EditStationDialog::on_btnSave_clicked()
{
    DBStation s = station;
    // A type the list does not hold (or none yet) stays as stored until one is chosen.
    if (ui->cmbDeviceType->currentIndex() >= 0)
        s.device_type = ui->cmbDeviceType->currentText();
    s.title = ui->txtTitle->text();
    s.name = ui->txtName->text();
    s.code = ui->txtCode->text();
    s.phone = ui->txtPhone->text();
    s.ip = ui->txtIp->text();
    s.file_path = ui->txtPath->text();
    s.file_name = ui->txtFileName->text();
    s.region = ui->sbRegion->value();
    s.basin = ui->sbBasin->value();
    s.no = ui->sbNo->value();
    s.port = ui->sbPort->value();
    s.connection_period = ui->sbPeriod->value();
    s.coordinate = formatCoordinate(ui->dsbLatitude->value(), ui->dsbLongitude->value());
    s.emaillist.clear();
    for (int i = 0; i < ui->lwEMail->count(); ++i)
        s.emaillist << ui->lwEMail->item(i)->text();
    s.email = ui->cbActivateNotifications->isChecked();
    s.download_data = ui->cbDownloadData->isChecked();
    s.export_text = ui->cbCreateText->isChecked();
    s.export_excel = ui->cbCreateExcel->isChecked();

    const StationCheck check =
        checkStation(s, index.isValid() ? &loaded : nullptr, model ? model->stations() : QList<DBStation>());
    ui->txtTitle->setText(s.title);
    if (!check.ok()) {
        refuse(tr("Error"), check.message, fieldWidget(check.field));
        return;
    }
    ui->txtFileName->setText(s.file_name);

    s.modified = true;
    station = s;
    if (model && model->setData(index, QVariant::fromValue(station), Qt::EditRole)) {
        accept();
        return;
    }
    m_questions->critical(this, tr("Save Station"),
                          tr("The station was not saved: the database refused it.\n\n%1")
                              .arg(DatabaseConnection::lastWriteError()));
}

void EditStationDialog::on_btnCancel_clicked()
{
    reject();
}

void EditStationDialog::on_btnGetFromDevice_clicked()
{
    const QString ip = ui->txtIp->text().simplified();
    const int port = ui->sbPort->value();
    if (ip.isEmpty() || ip == QLatin1String("0.0.0.0")) {
        refuse(tr("Wrong Host"), tr("Please type a correct IP/Host address!"), ui->txtIp);
        return;
    }
    if (port == 0) {
        refuse(tr("Wrong Host"), tr("Please type a correct port number!"), ui->sbPort);
        return;
    }

    identityRead->start(ip, port);
}

void EditStationDialog::onDeviceIdentity(DeviceIdentity deviceIdentity)
{
    selectDeviceType(deviceIdentity.header.deviceTypeName);
    if (ui->txtTitle->text().simplified().isEmpty())
        ui->txtTitle->setText(deviceIdentity.stationName);
    ui->txtName->setText(deviceIdentity.stationName);
    ui->txtCode->setText(deviceIdentity.stationCode);
    ui->sbRegion->setValue(deviceIdentity.region);
    ui->sbBasin->setValue(deviceIdentity.basin);
    ui->sbNo->setValue(deviceIdentity.stationNo);
}

void EditStationDialog::on_cbActivateNotifications_toggled(bool)
{
    updateEnabling();
}

void EditStationDialog::on_lwEMail_currentRowChanged(int)
{
    updateEnabling();
}

void EditStationDialog::on_cbDownloadData_toggled(bool)
{
    updateEnabling();
}

void EditStationDialog::on_cbCreateText_toggled(bool) {}

void EditStationDialog::on_btnAddToList_clicked()
{
    QString text;
    if (!m_questions->text(this, tr("E-Mail"), tr("E-Mail"), &text))
        return;
    const QString address = text.simplified();
    if (address.isEmpty())
        return;
    QStringList list;
    for (int i = 0; i < ui->lwEMail->count(); ++i)
        list << ui->lwEMail->item(i)->text();
    const QString problem = emailAddressProblem(address, list);
    if (!problem.isEmpty()) {
        m_questions->critical(this, tr("E-Mail Error"), problem);
        return;
    }
    ui->lwEMail->addItem(address);
}

void EditStationDialog::on_btnRemoveFromList_clicked()
{
    QListWidgetItem *item = ui->lwEMail->currentItem();
    if (!item)
        return;
    const QMessageBox::StandardButton answer =
        m_questions->question(this, tr("Remove E-Mail"),
                              tr("E-Mail address \"%1\" will be removed! Are you sure?").arg(item->text()),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        delete ui->lwEMail->takeItem(ui->lwEMail->row(item));
}

void EditStationDialog::on_btnSelectDirectory_clicked()
{
    const QString dir = m_questions->existingDirectory(this, tr("Select Directory"), directoryChooserStart());
    if (!dir.isEmpty())
        ui->txtPath->setText(dir);
}
