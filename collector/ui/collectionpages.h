#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

// The settings dialog's pages for what the unattended collection reads
// from the SETTINGS group: retries, the clock check, the memory warning,
// alerts, the mail server and the station store. The keys are the ones
// CollectionOptions and start-up read. Stored passwords are never shown:
// an empty password field keeps the stored one.
class CollectionPages : public QObject
{
    Q_OBJECT
public:
    explicit CollectionPages(QObject *parent = nullptr);

    QWidget *collectionPage() const { return m_collection; }
    QWidget *mailPage() const { return m_mail; }
    QWidget *storePage() const { return m_store; }

    void load(const QString &settingsFile);
    // The first field that is wrong, with its message; nullptr when all are right.
    QWidget *check(QString *message) const;
    // Writes what is shown; false when the file could not be written.
    bool save(const QString &settingsFile);

    // How long a test mail may take before it is given up.
    void setTestMailTimeout(int seconds) { m_testTimeout = seconds; }

    // The operator's sentence for a test mail's end: who refused it (this
    // program, the network or the server) and what to change on the page.
    static QString testMailVerdict(bool sent, const QString &server, const QString &error);

signals:
    // The server's answer to a test mail, in a sentence.
    void testMailAnswered(const QString &text);

private:
    void buildCollectionPage();
    void buildMailPage();
    void buildStorePage();
    void sendTestMail();

    QWidget *m_collection = nullptr;
    QWidget *m_mail = nullptr;
    QWidget *m_store = nullptr;

    QLineEdit *txtRetry = nullptr;
    QSpinBox *sbClockDrift = nullptr;
    QCheckBox *cbClockSync = nullptr;
    QLineEdit *txtDevicePassword = nullptr;
    QSpinBox *sbMemoryDays = nullptr;
    QSpinBox *sbAlertAfter = nullptr;

    QLineEdit *txtSmtpServer = nullptr;
    QSpinBox *sbSmtpPort = nullptr;
    QComboBox *cmbSmtpTls = nullptr;
    QLineEdit *txtSmtpUser = nullptr;
    QLineEdit *txtSmtpPassword = nullptr;
    QLineEdit *txtSmtpFrom = nullptr;
    QLineEdit *txtTestMailTo = nullptr;
    QPushButton *btnTestMail = nullptr;
    QLabel *lblTestMail = nullptr;

    QLineEdit *txtDatabase = nullptr;
    // The URL as shown (its password left out) and as stored.
    QString shownDatabase;
    QString storedDatabase;

    // Stored passwords, kept when their field is left empty.
    QString storedDevicePassword;
    QString storedSmtpPassword;
    bool allowPlainLogin = false;
    int m_testTimeout = 30;
};
