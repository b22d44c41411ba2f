#pragma once

// Answers a window's questions from a script, at once and without a dialog,
// and keeps what was asked so a test can check it.

#include "questions.h"

#include <QList>
#include <QQueue>
#include <QString>

class ScriptedQuestions : public Questions
{
public:
    enum Kind { Message, OpenFile, SaveFile, Directory, Text };

    struct Asked
    {
        Kind kind = Message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString dir;
        QString filter;
    };

    // The next message box is answered with this button.
    void answer(QMessageBox::StandardButton button) { m_buttons.enqueue(button); }
    // The next file or folder chooser returns this path (empty: cancelled).
    void choose(const QString &path) { m_paths.enqueue(path); }
    // The next text question is answered with this text (a null string cancels it).
    void type(const QString &text) { m_texts.enqueue(text); }

    QList<Asked> asked;
    // Questions that came without a scripted answer: a test that did not
    // expect them fails on this.
    int unanswered = 0;

    const Asked &last() const { return asked.last(); }
    bool pending() const { return !m_buttons.isEmpty() || !m_paths.isEmpty() || !m_texts.isEmpty(); }

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        Asked a;
        a.icon = icon;
        a.title = title;
        a.text = text;
        a.buttons = buttons;
        a.defaultButton = defaultButton;
        asked.append(a);
        if (m_buttons.isEmpty()) {
            ++unanswered;
            return escapeButton(buttons);
        }
        return m_buttons.dequeue();
    }

    QString openFileName(QWidget *, const QString &caption, const QString &dir,
                         const QString &filter) override
    {
        return file(OpenFile, caption, dir, filter);
    }
    QString saveFileName(QWidget *, const QString &caption, const QString &dir,
                         const QString &filter) override
    {
        return file(SaveFile, caption, dir, filter);
    }
    QString existingDirectory(QWidget *, const QString &caption, const QString &dir) override
    {
        return file(Directory, caption, dir, QString());
    }

    bool text(QWidget *, const QString &title, const QString &label, QString *value) override
    {
        Asked a;
        a.kind = Text;
        a.title = title;
        a.text = label;
        asked.append(a);
        if (m_texts.isEmpty()) {
            ++unanswered;
            return false;
        }
        const QString typed = m_texts.dequeue();
        if (typed.isNull())
            return false;
        *value = typed;
        return true;
    }

    // What closing the box would answer, as QMessageBox picks its escape button.
    static QMessageBox::StandardButton escapeButton(QMessageBox::StandardButtons buttons)
    {
        for (QMessageBox::StandardButton b :
             {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok, QMessageBox::Close})
            if (buttons & b)
                return b;
        return QMessageBox::NoButton;
    }

private:
    QString file(Kind kind, const QString &caption, const QString &dir, const QString &filter)
    {
        Asked a;
        a.kind = kind;
        a.title = caption;
        a.dir = dir;
        a.filter = filter;
        asked.append(a);
        if (m_paths.isEmpty()) {
            ++unanswered;
            return QString();
        }
        return m_paths.dequeue();
    }

    QQueue<QMessageBox::StandardButton> m_buttons;
    QQueue<QString> m_paths;
    QQueue<QString> m_texts;
};
