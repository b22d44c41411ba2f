#include "collectionpages.h"

#include "collection/collectionoptions.h"
#include "collection/smtpmailer.h"
#include "store/databaseurl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

namespace {

QSpinBox *spinBox(const char *name, int minimum, int maximum, const QString &suffix, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    box->setSuffix(suffix);
    return box;
}

QLineEdit *lineEdit(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QLineEdit *passwordEdit(const char *name, QWidget *parent)
{
    QLineEdit *edit = lineEdit(name, parent);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QString minutesText(const QList<int> &minutes)
{
    QStringList parts;
    for (int m : minutes)
        parts << QString::number(m);
    return parts.join(QLatin1Char(','));
}

// "2, 5,15": positive whole numbers separated by commas; empty turns
// retries off.
bool validMinutes(const QString &text)
{
    if (text.trimmed().isEmpty())
        return true;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        if (part.trimmed().toInt(&ok) <= 0 || !ok)
            return false;
    }
    return true;
}

bool plausibleAddress(const QString &address)
{
    const int at = address.indexOf(QLatin1Char('@'));
    return at > 0 && at < address.size() - 1 && address.indexOf(QLatin1Char('@'), at + 1) < 0 &&
           !address.contains(QLatin1Char(' ')) && !address.contains(QLatin1Char('<')) &&
           !address.contains(QLatin1Char('>'));
}

const char *const tlsModes[] = {"none", "starttls", "tls"};

} // namespace

CollectionPages::CollectionPages(QObject *parent) : QObject(parent)
{
    buildCollectionPage();
    buildMailPage();
    buildStorePage();
}

void CollectionPages::buildCollectionPage()
{
    m_collection = new QWidget;
    m_collection->setObjectName(QStringLiteral("pageCollection"));
    auto *form = new QFormLayout(m_collection);
    txtRetry = lineEdit("txtRetryMinutes", m_collection);
    txtRetry->setToolTip(
        tr("Minutes to wait before each new try after a failed visit, e.g. 2,5,15; empty: no "
           "retries."));
    form->addRow(tr("Retry after (minutes)"), txtRetry);
    sbClockDrift = spinBox("sbClockDrift", 1, 86400, tr(" s"), m_collection);
    form->addRow(tr("Clock drift limit"), sbClockDrift);
    cbClockSync = new QCheckBox(tr("Set the device clock when it drifts further"), m_collection);
    cbClockSync->setObjectName(QStringLiteral("cbClockSync"));
    form->addRow(QString(), cbClockSync);
    txtDevicePassword = passwordEdit("txtDevicePassword", m_collection);
    form->addRow(tr("Device password"), txtDevicePassword);
    sbMemoryDays = spinBox("sbMemoryDays", 1, 3650, tr(" days"), m_collection);
    sbMemoryDays->setToolTip(tr("Warn when a device's memory will be full within this many days."));
    form->addRow(tr("Memory warning"), sbMemoryDays);
    sbAlertAfter = spinBox("sbAlertAfter", 1, 1000, QString(), m_collection);
    sbAlertAfter->setToolTip(tr("Failed visits in a row before the alert mail goes out."));
    form->addRow(tr("Alert after failed visits"), sbAlertAfter);
}

void CollectionPages::buildMailPage()
{
    m_mail = new QWidget;
    m_mail->setObjectName(QStringLiteral("pageMail"));
    auto *form = new QFormLayout(m_mail);
    txtSmtpServer = lineEdit("txtSmtpServer", m_mail);
    txtSmtpServer->setPlaceholderText(tr("empty: no mail"));
    form->addRow(tr("Mail server"), txtSmtpServer);
    sbSmtpPort = spinBox("sbSmtpPort", 1, 65535, QString(), m_mail);
    form->addRow(tr("Port"), sbSmtpPort);
    cmbSmtpTls = new QComboBox(m_mail);
    cmbSmtpTls->setObjectName(QStringLiteral("cmbSmtpTls"));
    cmbSmtpTls->addItem(tr("None"), QLatin1String(tlsModes[0]));
    cmbSmtpTls->addItem(tr("STARTTLS"), QLatin1String(tlsModes[1]));
    cmbSmtpTls->addItem(tr("TLS"), QLatin1String(tlsModes[2]));
    form->addRow(tr("Encryption"), cmbSmtpTls);
    txtSmtpUser = lineEdit("txtSmtpUser", m_mail);
    form->addRow(tr("User"), txtSmtpUser);
    txtSmtpPassword = passwordEdit("txtSmtpPassword", m_mail);
    form->addRow(tr("Password"), txtSmtpPassword);
    txtSmtpFrom = lineEdit("txtSmtpFrom", m_mail);
    form->addRow(tr("Sender"), txtSmtpFrom);

    txtTestMailTo = lineEdit("txtTestMailTo", m_mail);
    txtTestMailTo->setPlaceholderText(tr("recipient of the test mail"));
    btnTestMail = new QPushButton(tr("Send a test mail"), m_mail);
    btnTestMail->setObjectName(QStringLiteral("btnTestMail"));
    auto *row = new QHBoxLayout;
    row->addWidget(txtTestMailTo, 1);
    row->addWidget(btnTestMail);
    form->addRow(tr("Test"), row);
    lblTestMail = new QLabel(m_mail);
    lblTestMail->setObjectName(QStringLiteral("lblTestMail"));
    lblTestMail->setWordWrap(true);
    lblTestMail->setTextFormat(Qt::PlainText);
    form->addRow(QString(), lblTestMail);
    connect(btnTestMail, &QPushButton::clicked, this, &CollectionPages::sendTestMail);
    connect(this, &CollectionPages::testMailAnswered, lblTestMail, &QLabel::setText);
}

void CollectionPages::buildStorePage()
{
    m_store = new QWidget;
    m_store->setObjectName(QStringLiteral("pageStore"));
    auto *layout = new QVBoxLayout(m_store);
    auto *form = new QFormLayout;
    txtDatabase = lineEdit("txtDatabase", m_store);
    txtDatabase->setPlaceholderText(tr("empty: the working folder's data/data.db"));
    form->addRow(tr("Database URL"), txtDatabase);
    layout->addLayout(form);
    auto *note =
        new QLabel(tr("sqlite:///path/data.db or postgresql://user@host:5432/name. The program uses a "
                      "new database from its next start."),
                   m_store);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch();
}

void CollectionPages::load(const QString &settingsFile)
{
    const CollectionOptions o = CollectionOptions::load(settingsFile);
    txtRetry->setText(minutesText(o.retryMinutes));
    sbClockDrift->setValue(o.clockDriftWarnSeconds);
    cbClockSync->setChecked(o.clockSync);
    storedDevicePassword = o.devicePassword;
    txtDevicePassword->clear();
    txtDevicePassword->setPlaceholderText(o.devicePassword.isEmpty() ? QString()
                                                                     : tr("stored; type to replace"));
    sbMemoryDays->setValue(o.memoryWarnDays);
    sbAlertAfter->setValue(o.alertAfterFailures);

    txtSmtpServer->setText(o.smtpServer);
    sbSmtpPort->setValue(o.smtpPort);
    const int tls = cmbSmtpTls->findData(o.smtpTls);
    cmbSmtpTls->setCurrentIndex(tls >= 0 ? tls : 0);
    txtSmtpUser->setText(o.smtpUser);
    storedSmtpPassword = o.smtpPassword;
    txtSmtpPassword->clear();
    txtSmtpPassword->setPlaceholderText(o.smtpPassword.isEmpty() ? QString() : tr("stored; type to replace"));
    txtSmtpFrom->setText(o.smtpFrom);
    allowPlainLogin = o.smtpAllowPlainLogin;

    const QSettings ini(settingsFile, QSettings::IniFormat);
    storedDatabase = ini.value(QStringLiteral("SETTINGS/database")).toString().trimmed();
    DatabaseUrl url;
    QString error;
    // A password in the URL is not shown; the URL is kept as stored unless edited.
    shownDatabase = !storedDatabase.isEmpty() && DatabaseUrl::parse(storedDatabase, &url, &error) &&
                            !url.password().isEmpty()
                        ? url.redacted()
                        : storedDatabase;
    txtDatabase->setText(shownDatabase);
}

QWidget *CollectionPages::check(QString *message) const
{
    if (!validMinutes(txtRetry->text())) {
        *message = tr("Please type the retry minutes as positive numbers separated by commas!");
        return txtRetry;
    }
    const QString server = txtSmtpServer->text().trimmed();
    if (server.contains(QLatin1Char(' ')) || server.contains(QLatin1Char('/'))) {
        *message = tr("Please type a correct mail server name!");
        return txtSmtpServer;
    }
    if (!server.isEmpty() && !plausibleAddress(txtSmtpFrom->text().trimmed())) {
        *message = tr("Please type a correct sender address!");
        return txtSmtpFrom;
    }
    const QString database = txtDatabase->text().trimmed();
    if (!database.isEmpty() && database != shownDatabase) {
        DatabaseUrl url;
        QString error;
        if (!DatabaseUrl::parse(database, &url, &error)) {
            *message = tr("Please type a correct database URL! (%1)").arg(error);
            return txtDatabase;
        }
    }
    return nullptr;
}

bool CollectionPages::save(const QString &settingsFile)
{
    QSettings ini(settingsFile, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("SETTINGS"));
    ini.setValue(QStringLiteral("retryMinutes"),
                 minutesText(CollectionOptions::parseMinutes(txtRetry->text())));
    ini.setValue(QStringLiteral("clockDriftWarnSeconds"), sbClockDrift->value());
    ini.setValue(QStringLiteral("clockSync"), cbClockSync->isChecked());
    if (!txtDevicePassword->text().isEmpty())
        ini.setValue(QStringLiteral("devicePassword"), txtDevicePassword->text());
    ini.setValue(QStringLiteral("memoryWarnDays"), sbMemoryDays->value());
    ini.setValue(QStringLiteral("alertAfterFailures"), sbAlertAfter->value());
    ini.setValue(QStringLiteral("smtpServer"), txtSmtpServer->text().trimmed());
    ini.setValue(QStringLiteral("smtpPort"), sbSmtpPort->value());
    ini.setValue(QStringLiteral("smtpTls"), cmbSmtpTls->currentData().toString());
    ini.setValue(QStringLiteral("smtpUser"), txtSmtpUser->text());
    if (!txtSmtpPassword->text().isEmpty())
        ini.setValue(QStringLiteral("smtpPassword"), txtSmtpPassword->text());
    ini.setValue(QStringLiteral("smtpFrom"), txtSmtpFrom->text().trimmed());
    const QString database = txtDatabase->text().trimmed();
    if (database != shownDatabase) {
        if (database.isEmpty())
            ini.remove(QStringLiteral("database"));
        else
            ini.setValue(QStringLiteral("database"), database);
    }
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError)
        return false;
    if (!txtDevicePassword->text().isEmpty())
        storedDevicePassword = txtDevicePassword->text();
    if (!txtSmtpPassword->text().isEmpty())
        storedSmtpPassword = txtSmtpPassword->text();
    return true;
}

QString CollectionPages::testMailVerdict(bool sent, const QString &server, const QString &error)
{
    if (sent)
        return tr("The server took the test mail.");
    // The mailer's reasons are libcurl's: the ones that are not the server's.
    const QString e = error.toLower();
    if (e.contains(QLatin1String("resolve host")))
        return tr("The mail server %1 was not found: check its name.").arg(server);
    if (e.contains(QLatin1String("connect to server")) || e.contains(QLatin1String("timeout")) ||
        e.contains(QLatin1String("timed out")))
        return tr("The mail server %1 could not be reached: check its name, port and encryption (%2).")
            .arg(server, error);
    if (e.contains(QLatin1String("login denied")) || e.contains(QLatin1String("authentication")))
        return tr("The mail server refused the user or password (%1).").arg(error);
    if (e.contains(QLatin1String("ssl")) || e.contains(QLatin1String("tls")) ||
        e.contains(QLatin1String("certificate")))
        return tr("The encrypted connection to %1 failed: check the encryption and port (%2).")
            .arg(server, error);
    return tr("The server did not take the test mail: %1").arg(error);
}

void CollectionPages::sendTestMail()
{
    const QString to = txtTestMailTo->text().trimmed();
    if (txtSmtpServer->text().trimmed().isEmpty()) {
        emit testMailAnswered(tr("No mail server is set."));
        return;
    }
    if (!plausibleAddress(to)) {
        emit testMailAnswered(tr("Please type a correct recipient address!"));
        return;
    }
    // Refused here, before any server is asked.
    if (!txtSmtpUser->text().isEmpty() &&
        cmbSmtpTls->currentData().toString() == QLatin1String(tlsModes[0]) && !allowPlainLogin) {
        emit testMailAnswered(tr("Not sent: the password would go unencrypted. Choose STARTTLS or TLS as "
                                 "the encryption, or leave the user empty."));
        return;
    }
    SmtpMailer::Server server;
    server.host = txtSmtpServer->text().trimmed();
    server.port = sbSmtpPort->value();
    server.tls = SmtpMailer::tlsOf(cmbSmtpTls->currentData().toString());
    server.user = txtSmtpUser->text();
    server.password = txtSmtpPassword->text().isEmpty() ? storedSmtpPassword : txtSmtpPassword->text();
    server.from = txtSmtpFrom->text().trimmed();
    server.timeoutSeconds = m_testTimeout;
    server.allowPlainLogin = allowPlainLogin;

    btnTestMail->setEnabled(false);
    emit testMailAnswered(tr("Sending..."));
    // The send blocks: it runs on a thread of its own and answers here.
    const QPointer<CollectionPages> self(this);
    QThread *thread = QThread::create([self, server, to] {
        QString error;
        const bool sent = SmtpMailer(server).send({to}, tr("Test mail"),
                                                  tr("This test mail was sent from the settings of the "
                                                     "data collector."),
                                                  &error);
        QMetaObject::invokeMethod(
            qApp,
            [self, sent, error] {
                if (!self)
                    return;
                self->btnTestMail->setEnabled(true);
                emit self->testMailAnswered(
                    testMailVerdict(sent, self->txtSmtpServer->text().trimmed(), error));
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}
