#include "settingsdialog.h"
#include "ui_settingsdialog.h"

#include "collectionpages.h"
#include "collectorsettings.h"
#include "questions.h"
#include "startup.h"
#include "store/workfolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

namespace {

void selectText(QComboBox *box, const QString &text)
{
    const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        box->setCurrentIndex(i);
}

void selectData(QComboBox *box, const QString &data)
{
    const int i = box->findData(data);
    if (i >= 0)
        box->setCurrentIndex(i);
}

// "Türkçe", "English": the language's own name; the file's name when Qt
// knows no such language.
QString languageTitle(const QString &code)
{
    const QLocale locale(code.section(QLatin1Char('_'), 0, 0));
    if (locale.language() == QLocale::C)
        return code;
    QString name = locale.nativeLanguageName();
    if (!name.isEmpty())
        name[0] = name.at(0).toUpper();
    return name.isEmpty() ? code : name;
}

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent) : SettingsDialog(QString(), parent) {}

SettingsDialog::SettingsDialog(const QString &programDirectory, QWidget *parent)
    : QDialog(parent), ui(new Ui::SettingsDialog), programDirectory(programDirectory),
      m_questions(Questions::dialogs())
{
    ui->setupUi(this);
    setModal(true);
    pages = new CollectionPages(this);
    setUpPages();
    fillChoices();
    loadSettings();
}

SettingsDialog::~SettingsDialog()
{
    delete ui;
}

void SettingsDialog::setQuestions(Questions *questions)
{
    m_questions = questions ? questions : Questions::dialogs();
}

// The working folder's style sheets and translations, the ones start-up loads.
QString SettingsDialog::styleDirectory() const
{
    if (programDirectory.isEmpty())
        return WorkFolder::current().styleDir();
    return QDir(programDirectory).filePath(QStringLiteral("../style"));
}

QString SettingsDialog::languageDirectory() const
{
    if (programDirectory.isEmpty())
        return QDir::cleanPath(WorkFolder::current().langDir());
    return QDir::cleanPath(QDir(programDirectory).filePath(QStringLiteral("../lang")));
}

void SettingsDialog::setUpPages()
{
    QListWidget *list = ui->listWidget;
    const struct
    {
        QWidget *page;
        QString name;
    } added[] = {{pages->collectionPage(), tr("Collection")},
                 {pages->mailPage(), tr("Mail")},
                 {pages->storePage(), tr("Station Store")}};
    for (const auto &p : added) {
        ui->stackedWidget->addWidget(p.page);
        list->addItem(p.name);
    }
    // Every page in sight with its whole name, in any language: small icons
    // beside the names, the list as wide as its longest name.
    list->setViewMode(QListView::ListMode);
    list->setIconSize(QSize(24, 24));
    list->setMovement(QListView::Static);
    list->setSpacing(4);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The style's own large icons; the pages name no pictures of their own.
    const QStyle::StandardPixmap icons[] = {QStyle::SP_FileDialogListView,    QStyle::SP_DirIcon,
                                            QStyle::SP_FileDialogInfoView,    QStyle::SP_BrowserReload,
                                            QStyle::SP_MessageBoxInformation, QStyle::SP_DriveNetIcon};
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        item->setIcon(style()->standardIcon(icons[i]));
        item->setToolTip(item->text());
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = qMax(widest, list->fontMetrics().horizontalAdvance(list->item(i)->text()));
    list->setFixedWidth(widest + list->iconSize().width() + 2 * list->frameWidth() + 40);
    int height = 2 * list->frameWidth();
    for (int i = 0; i < list->count(); ++i)
        height += list->sizeHintForRow(i) + 2 * list->spacing();
    list->setMinimumHeight(height);
    connect(list, &QListWidget::currentRowChanged, ui->stackedWidget, &QStackedWidget::setCurrentIndex);
    list->setCurrentRow(0);
}

void SettingsDialog::fillChoices()
{
    ui->cmbStyle->addItems(QStyleFactory::keys());
    selectText(ui->cmbStyle, styleName(QLatin1String(QApplication::style()->metaObject()->className())));

    ui->cmbStyleSheet->addItems(styleSheetNames(styleDirectory()));

    const QFont font = QApplication::font();
    ui->cmbFontFamily->setCurrentFont(font);
    ui->sbFontSize->setValue(font.pointSize());

    const QString langs = languageDirectory();
    for (const QString &name : languageNames(langs))
        ui->cmbLanguage->addItem(QIcon(QStringLiteral("%1/%2.png").arg(langs, name)), languageTitle(name),
                                 name);
    auto *note = new QLabel(tr("A new language is used from the next start of the program."), this);
    note->setObjectName(QStringLiteral("lblLanguageNote"));
    note->setWordWrap(true);
    // Right under the choice; the spacer below both.
    QGridLayout *grid = ui->gridLanguage;
    for (int i = 0; i < grid->count(); ++i) {
        if (QSpacerItem *spacer = grid->itemAt(i)->spacerItem()) {
            grid->removeItem(spacer);
            grid->addItem(spacer, 2, 0, 1, 2);
            break;
        }
    }
    grid->addWidget(note, 1, 0, 1, 2);
}

void SettingsDialog::loadSettings()
{
    const CollectorSettings s = CollectorSettings::load();
    selectText(ui->cmbStyle, s.style);
    selectText(ui->cmbStyleSheet, s.styleSheet);
    // With none stored, the font in use: OK must not change it either.
    const QSettings stored(CollectorSettings::iniFile(), QSettings::IniFormat);
    if (stored.contains(QStringLiteral("SETTINGS/fontfamily")))
        selectText(ui->cmbFontFamily, s.fontFamily);
    if (stored.contains(QStringLiteral("SETTINGS/fontsize")))
        ui->sbFontSize->setValue(s.fontSize);
    ui->txtPath->setText(s.defaultPath);
    ui->cbExportText->setChecked(s.exportToText);
    ui->cbExportExcel->setChecked(s.exportToExcel);
    // With none stored, the language in use: OK must not switch it.
    selectData(ui->cmbLanguage,
               stored.contains(QStringLiteral("SETTINGS/lang")) ? s.language : Startup::startupLanguage());
    pages->load(CollectorSettings::iniFile());
}

bool SettingsDialog::apply()
{
    QString message;
    if (QWidget *field = pages->check(&message)) {
        ui->listWidget->setCurrentRow(ui->stackedWidget->indexOf(field->parentWidget()));
        m_questions->critical(this, tr("Error"), message);
        if (auto *edit = qobject_cast<QLineEdit *>(field))
            edit->selectAll();
        field->setFocus();
        return false;
    }
    CollectorSettings s;
    s.style = ui->cmbStyle->currentText();
    s.styleSheet = ui->cmbStyleSheet->currentText();
    s.fontFamily = ui->cmbFontFamily->currentText();
    s.fontSize = ui->sbFontSize->value();
    s.defaultPath = ui->txtPath->text().simplified();
    s.exportToText = ui->cbExportText->isChecked();
    s.exportToExcel = ui->cbExportExcel->isChecked();
    s.language = ui->cmbLanguage->currentData().toString();
    if (!s.save() || !pages->save(CollectorSettings::iniFile())) {
        m_questions->critical(this, tr("Error"),
                              tr("The settings could not be written to %1.")
                                  .arg(QDir::toNativeSeparators(CollectorSettings::iniFile())));
        return false;
    }

    QApplication::setStyle(s.style);

    QFile sheet(QDir(styleDirectory()).filePath(s.styleSheet + QStringLiteral(".qss")));
    if (!s.styleSheet.isEmpty() && sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));

    QFont font = QApplication::font();
    font.setFamily(s.fontFamily);
    font.setPointSize(s.fontSize);
    QApplication::setFont(font);
    return true;
}

void SettingsDialog::on_OK_clicked()
{
    if (apply())
        accept();
}

void SettingsDialog::on_btnCancel_clicked()
{
    reject();
}

void SettingsDialog::on_btnApply_clicked()
{
    apply();
}

void SettingsDialog::on_cmbFontFamily_currentIndexChanged(const QString &arg1)
{
    QFont font = ui->txtSampleText->font();
    font.setFamily(arg1);
    ui->txtSampleText->setFont(font);
}

void SettingsDialog::on_sbFontSize_valueChanged(int arg1)
{
    QFont font = ui->txtSampleText->font();
    font.setPointSize(arg1);
    ui->txtSampleText->setFont(font);
}

void SettingsDialog::on_cbExportText_toggled(bool) {}

void SettingsDialog::on_btnSelectPath_clicked()
{
    const QString dir = m_questions->existingDirectory(this, tr("Select Directory"), directoryChooserStart());
    if (!dir.isEmpty())
        ui->txtPath->setText(dir);
}
