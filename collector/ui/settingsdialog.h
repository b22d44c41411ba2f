#pragma once

#include <QDialog>
#include <QString>

class CollectionPages;
class Questions;

namespace Ui {
class SettingsDialog;
}

// The look of the running program and the defaults of new stations, kept in
// the SETTINGS group of settings.ini.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    // Looks for "../style" and "../lang" beside `programDirectory` instead of
    // in the working folder.
    SettingsDialog(const QString &programDirectory, QWidget *parent);
    ~SettingsDialog() override;

    void setQuestions(Questions *questions);

private slots:
    void on_OK_clicked();
    void on_btnCancel_clicked();
    void on_btnApply_clicked();
    void on_cmbFontFamily_currentIndexChanged(const QString &arg1);
    void on_sbFontSize_valueChanged(int arg1);
    void on_cbExportText_toggled(bool);
    void on_btnSelectPath_clicked();

private:
    void setUpPages();
    void fillChoices();
    void loadSettings();
    // False, after saying why, when a field is wrong or the file unwritable.
    bool apply();
    QString styleDirectory() const;
    QString languageDirectory() const;

    Ui::SettingsDialog *ui;
    CollectionPages *pages = nullptr;
    QString programDirectory;
    Questions *m_questions;
};
