#pragma once

// The one way the suite's windows ask their user something: message boxes,
// file and folder choosers. Windows hold a Questions pointer (the real
// dialogs by default); tests hand them a scripted answerer instead, so no
// test ever waits on a modal dialog.

#include <QMessageBox>
#include <QString>

class QWidget;

class Questions
{
public:
    virtual ~Questions() = default;

    // A message box; returns the button chosen, or the box's escape button
    // (Cancel, No or the only button) when it is closed.
    virtual QMessageBox::StandardButton
    message(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;

    // File and folder choosers; an empty string when the user cancels.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir) = 0;

    // One line of text; false when the user cancels.
    virtual bool text(QWidget *parent, const QString &title, const QString &label, QString *value) = 0;

    void critical(QWidget *parent, const QString &title, const QString &text);
    void warning(QWidget *parent, const QString &title, const QString &text);
    void information(QWidget *parent, const QString &title, const QString &text);
    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Yes |
                                                                                QMessageBox::No,
                                         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // The real dialogs.
    static Questions *dialogs();
};

// Qt's QMessageBox and QFileDialog.
class DialogQuestions : public Questions
{
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir) override;
    bool text(QWidget *parent, const QString &title, const QString &label, QString *value) override;
};
