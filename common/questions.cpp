#include "questions.h"

#include <QFileDialog>
#include <QInputDialog>

void Questions::critical(QWidget *parent, const QString &title, const QString &text)
{
    message(parent, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void Questions::warning(QWidget *parent, const QString &title, const QString &text)
{
    message(parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void Questions::information(QWidget *parent, const QString &title, const QString &text)
{
    message(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

QMessageBox::StandardButton Questions::question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return message(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

Questions *Questions::dialogs()
{
    static DialogQuestions instance;
    return &instance;
}

QMessageBox::StandardButton DialogQuestions::message(QWidget *parent, QMessageBox::Icon icon,
                                                     const QString &title, const QString &text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    const int chosen = box.exec();
    return chosen == -1 ? QMessageBox::NoButton : QMessageBox::StandardButton(chosen);
}

QString DialogQuestions::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DialogQuestions::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString DialogQuestions::existingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

bool DialogQuestions::text(QWidget *parent, const QString &title, const QString &label, QString *value)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, title, label, QLineEdit::Normal, *value, &ok);
    if (ok)
        *value = typed;
    return ok;
}
