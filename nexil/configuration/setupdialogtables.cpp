// The three tables of the setup wizard: their cell widgets and how they
// react to each other.

#include "setupdialog.h"
#include "setupdialogform.h"
#include "setuppages.h"

#include "nexil/logging.h"
#include "nexil/protocol/nexil.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>

namespace {

QComboBox *comboBox(QTableWidget *table, int row, int column, const QStringList &items)
{
    auto *box = new QComboBox(table);
    box->addItems(items);
    table->setCellWidget(row, column, box);
    return box;
}

QDoubleSpinBox *numberBox(QTableWidget *table, int row, int column, double limit, const QString &toolTip)
{
    auto *box = new QDoubleSpinBox(table);
    box->setDecimals(4);
    box->setRange(-limit, limit);
    box->setValue(0);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setToolTip(toolTip);
    table->setCellWidget(row, column, box);
    return box;
}

void hiddenRowsWithEmptyHeaders(QTableWidget *table)
{
    for (int r = 0; r < table->rowCount(); ++r) {
        table->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
        table->setRowHidden(r, true);
    }
}

} // namespace

void SetupDialog::prepareNameTable()
{
    QTableWidget *t = form->twNames;
    const QStringList states{tr("Pasif"), tr("Aktif")};
    const QStringList codes = nexil->channelCodeDescriptions();
    for (int r = 0; r < t->rowCount(); ++r) {
        QComboBox *status = comboBox(t, r, 0, states);
        connect(status, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SetupDialog::onChannelStatusChanged);
        auto *name = new QLineEdit(t);
        t->setCellWidget(r, 1, name);
        connect(name, &QLineEdit::textChanged, this, &SetupDialog::onChannelNameChanged);
        QComboBox *code = comboBox(t, r, 2, codes);
        connect(code, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SetupDialog::onChannelCodeChanged);
        auto *interval = new QSpinBox(t);
        interval->setRange(1, 1440);
        interval->setValue(60);
        interval->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setCellWidget(r, 3, interval);
        QComboBox *minMax = comboBox(t, r, 4, {tr("Anlık"), tr("Kayıt")});
        QComboBox *record = comboBox(t, r, 5, {tr("Ortalama"), tr("Anlık")});
        for (QWidget *w : {static_cast<QWidget *>(status), static_cast<QWidget *>(name),
                           static_cast<QWidget *>(code), static_cast<QWidget *>(interval),
                           static_cast<QWidget *>(minMax), static_cast<QWidget *>(record)})
            w->setProperty("row", r);
    }
}

void SetupDialog::prepareCalibrationTable()
{
    QTableWidget *t = form->twCalibrations;
    const QString coefficient = tr("Bazı sensörlerin kalibrasyonunda yer alan katsayı değeri.");
    const QString coefficientStyle = QStringLiteral("background-color:#123456; color:#ffffff");
    for (int r = 0; r < t->rowCount(); ++r) {
        comboBox(t, r, 0, QStringList());
        for (int c = 1; c < t->columnCount(); ++c) {
            const bool present = r < 5 || (r < 7 && c == 5);
            if (!present) {
                t->setCellWidget(r, c, new QWidget(t));
                continue;
            }
            switch (c) {
            case 1:
                numberBox(t, r, c, 100000000, tr("Eşel değeri"));
                break;
            case 2:
                numberBox(t, r, c, 100000000, tr("Maksimum eşel değeri"));
                break;
            case 3:
                numberBox(t, r, c, 100000000, tr("Minimum eşel değeri (Varsayılan: 0)"));
                break;
            case 4:
                comboBox(t, r, c, {tr("Baraj"), tr("Kuyu")});
                break;
            default:
                numberBox(t, r, c, 1000000, coefficient)->setStyleSheet(coefficientStyle);
                break;
            }
        }
    }
    hiddenRowsWithEmptyHeaders(t);
}

void SetupDialog::prepareAlarmTable()
{
    QTableWidget *t = form->twAlarms;
    for (int r = 0; r < t->rowCount(); ++r) {
        QComboBox *state = comboBox(t, r, 0, {tr("Pasif"), tr("Aktif")});
        state->setProperty("row", r);
        // Limits and resets below zero are common (frost), so either sign.
        for (int c = 1; c < t->columnCount(); ++c)
            numberBox(t, r, c, setupwizard::AlarmLimit, QString());
    }
    hiddenRowsWithEmptyHeaders(t);
}

int SetupDialog::senderRow(const char *kind)
{
    QObject *s = sender();
    const bool fits = s && s->inherits(kind) && s->property("row").isValid();
    if (!fits) {
        qCDebug(lcConfiguration, "Object is null!");
        return -1;
    }
    const int row = s->property("row").toInt();
    return row >= 0 && row < form->twNames->rowCount() ? row : -1;
}

void SetupDialog::onChannelStatusChanged(int index)
{
    const int row = senderRow("QComboBox");
    if (row < 0)
        return;
    form->twCalibrations->setRowHidden(row, index == 0);
    form->twAlarms->setRowHidden(row, index == 0);
}

void SetupDialog::onChannelCodeChanged(int index)
{
    const int row = senderRow("QComboBox");
    if (row < 0)
        return;
    auto *units = qobject_cast<QComboBox *>(form->twCalibrations->cellWidget(row, 0));
    units->clear();
    units->addItems(nexil->channelCodeUnits(ChannelCode(index + CodeUnknown)));
}

void SetupDialog::onChannelNameChanged(QString text)
{
    const int row = senderRow("QLineEdit");
    if (row < 0 || text.isEmpty())
        return;
    auto *edit = static_cast<QLineEdit *>(sender());
    const QString shown = setupwizard::channelNameText(text);
    if (shown != text) {
        const int cursor = edit->cursorPosition();
        edit->setText(shown);
        edit->setCursorPosition(cursor);
    }
    form->twCalibrations->verticalHeaderItem(row)->setText(shown);
}
