#pragma once

#include <QList>
#include <QMainWindow>

#include "questions.h"

class QAction;
class QComboBox;
class QDoubleSpinBox;
class QTableWidget;
class QToolBar;

class QCoreApplication;

// Installs Qt's own Turkish texts (standard buttons, file dialog) on app;
// false when the system has no Turkish translation of Qt.
bool installQtTurkish(QCoreApplication *app);

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    bool isChanged() const { return m_changed; }
    QString currentFileName() const { return m_fileName; }
    // Where the window's questions go (the real dialogs by default).
    void setQuestions(Questions *questions) { m_questions = questions; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_actionNew_triggered();
    void on_actionSave_triggered();
    void on_actionSaveAs_triggered();
    void on_actionCalculate_triggered();
    void on_actionQuit_triggered();

private:
    void setupUi();
    // True when the caller may go on (saved, declined or nothing to save).
    bool maybeSave();
    // True when the table is on disk.
    bool save();
    QString askFileName();

    Questions *m_questions = Questions::dialogs();
    QDoubleSpinBox *m_baseWidth = nullptr;
    QDoubleSpinBox *m_slope = nullptr;
    QComboBox *m_roughness = nullptr;
    QComboBox *m_channelType = nullptr;
    QDoubleSpinBox *m_maxLevel = nullptr;
    QTableWidget *m_table = nullptr;

    bool m_changed = false;
    QString m_fileName;
    QString m_lastDir;
    QList<float> m_roughnessValues;
    QList<float> m_sideSlopes;
};
