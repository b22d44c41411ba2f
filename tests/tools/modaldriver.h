#pragma once

// Answers a real message box, for the one test per tool that shows Qt's own
// dialog instead of the scripted questions. It acts only from inside the
// box's own event loop (the loop level has risen above the test's), so the
// answer can never come before exec() waits for it. File dialogs are not
// driven at all: QFileDialog::selectFile() ignores the name while the name
// field has focus, which made such tests hang whenever the window had been
// activated first.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <memory>

class ModalDriver : public QObject
{
public:
    bool seen() const { return m_seen; }
    QString title() const { return m_title; }
    QString text() const { return m_text; }

    // Clicks a standard button of the next message box and remembers what it said.
    static std::unique_ptr<ModalDriver> clickButton(QMessageBox::StandardButton which)
    {
        return std::unique_ptr<ModalDriver>(new ModalDriver(which));
    }

private:
    explicit ModalDriver(QMessageBox::StandardButton which)
        : m_which(which), m_outerLoopLevel(QThread::currentThread()->loopLevel())
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start();
    }

    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || QThread::currentThread()->loopLevel() <= m_outerLoopLevel)
            return;
        m_timer.stop();
        m_seen = true;
        m_title = box->windowTitle();
        m_text = box->text();
        if (QAbstractButton *b = box->button(m_which))
            b->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton m_which;
    int m_outerLoopLevel;
    QTimer m_timer;
    bool m_seen = false;
    QString m_title;
    QString m_text;
};
