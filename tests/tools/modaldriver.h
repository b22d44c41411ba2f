#pragma once

// Answers the next modal window (message box, file dialog) the way a user
// would, from a timer, while the code under test sits in its exec().

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class ModalDriver : public QObject
{
public:
    // The handler sees each modal window until it returns true (handled).
    explicit ModalDriver(std::function<bool(QWidget *)> handler, QObject *parent = nullptr)
        : QObject(parent), m_handler(std::move(handler))
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            if (!m_handler(modal))
                return;
            m_timer.stop();
            m_seen = true;
        });
        m_timer.start();
    }

    bool seen() const { return m_seen; }
    QString title() const { return m_title; }
    QString text() const { return m_text; }

    // Clicks a standard button of a message box and remembers what it said.
    static std::unique_ptr<ModalDriver> clickButton(QMessageBox::StandardButton which)
    {
        auto driver = std::make_unique<ModalDriver>(nullptr);
        ModalDriver *d = driver.get();
        d->m_handler = [d, which](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box)
                return false;
            d->m_title = box->windowTitle();
            d->m_text = box->text();
            if (QAbstractButton *b = box->button(which))
                b->click();
            else
                box->reject();
            return true;
        };
        return driver;
    }

    // Picks a file name in a file dialog (an empty name cancels it).
    static std::unique_ptr<ModalDriver> chooseFile(const QString &path)
    {
        auto driver = std::make_unique<ModalDriver>(nullptr);
        ModalDriver *d = driver.get();
        d->m_handler = [d, path](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            if (!dialog)
                return false;
            d->m_title = w->windowTitle();
            d->m_text = dialog->nameFilters().join(QLatin1Char(';'));
            if (path.isEmpty()) {
                dialog->reject();
                return true;
            }
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides it, QDialog does not
            return true;
        };
        return driver;
    }

private:
    std::function<bool(QWidget *)> m_handler;
    QTimer m_timer;
    bool m_seen = false;
    QString m_title;
    QString m_text;
};
