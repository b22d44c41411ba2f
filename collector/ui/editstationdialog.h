#pragma once

#include "store/dbstation.h"

#include "nexil/protocol/records.h"

#include <QDialog>
#include <QModelIndex>

class IdentityRead;
class QLineEdit;
class QWidget;
class Questions;
class StationTableModel;

namespace Ui {
class EditStationDialog;
}

// Adds a new station (invalid index) or edits the one at `index` of the
// model; the model stores the result and hands it to the station's worker.
class EditStationDialog : public QDialog
{
    Q_OBJECT
public:
    EditStationDialog(StationTableModel *model, QModelIndex index, QWidget *parent = nullptr);
    ~EditStationDialog() override;

    void setQuestions(Questions *questions);

    // The record as the form loaded it or as it was last saved.
    DBStation currentStation() const { return station; }

private slots:
    void onDeviceIdentity(DeviceIdentity deviceIdentity);

    void on_btnGetFromDevice_clicked();
    void on_cbActivateNotifications_toggled(bool);
    void on_btnAddToList_clicked();
    void on_lwEMail_currentRowChanged(int currentRow);
    void on_btnRemoveFromList_clicked();
    void on_btnSelectDirectory_clicked();
    void on_btnSave_clicked();
    void on_btnCancel_clicked();
    void on_cbDownloadData_toggled(bool);
    void on_cbCreateText_toggled(bool);

private:
    // parent/CODE, with a code that cannot leave parent.
    static QString proposedFolder(const QString &parent, const QString &code);
    void fillForm();
    void updateEnabling();
    void selectDeviceType(const QString &type);
    void refuse(const QString &title, const QString &message, QWidget *field);
    QWidget *fieldWidget(int field) const;

    Ui::EditStationDialog *ui;
    StationTableModel *model;
    QModelIndex index;
    DBStation station;
    // An edited station as the form was filled with it.
    DBStation loaded;
    IdentityRead *identityRead = nullptr;
    Questions *m_questions;
    // A new station's folder: pathParent/CODE while the path shows the last
    // proposal (null: an existing station, nothing proposed).
    QString pathParent;
    QString proposedPath;
};
