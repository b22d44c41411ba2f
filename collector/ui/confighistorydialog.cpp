#include "confighistorydialog.h"

#include "store/stationtablemodel.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

ConfigHistoryDialog::ConfigHistoryDialog(const QString &code, const QList<ConfigHistory::Entry> &entries,
                                         QWidget *parent)
    : QDialog(parent), view(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("configHistoryDialog"));
    setWindowTitle(tr("Configuration History: %1").arg(code));
    view->setObjectName(QStringLiteral("twConfigHistory"));
    view->setHeaderLabels({tr("Time"), tr("Source"), tr("Actor"), tr("Change")});
    view->setRootIsDecorated(true);
    for (int i = entries.size() - 1; i >= 0; --i) {
        const ConfigHistory::Entry &e = entries.at(i);
        auto *item = new QTreeWidgetItem(view);
        item->setText(0, QLocale::c().toString(e.firstSeen, QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        item->setText(1, e.source);
        item->setText(2, e.actor);
        const QList<ConfigChange> changes = ConfigHistory::changesOf(entries, i);
        if (e.unexplained)
            item->setText(3, tr("Changed at the station"));
        else if (i == 0)
            item->setText(3, tr("First configuration read"));
        else if (changes.isEmpty() && !e.isUpload())
            item->setText(3, tr("No change"));
        for (auto it = e.outcome.constBegin(); it != e.outcome.constEnd(); ++it) {
            auto *child = new QTreeWidgetItem(item);
            QString record = UploadCheck::recordName(it.key());
            if (!record.isEmpty())
                record[0] = record.at(0).toUpper();
            child->setText(3, QStringLiteral("%1: %2").arg(record, it.value().toString()));
        }
        for (const ConfigChange &c : changes) {
            auto *child = new QTreeWidgetItem(item);
            child->setText(3, c.describe());
        }
    }
    view->expandAll();
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addWidget(buttons);
    resize(760, 480);
}

QAction *ConfigHistoryDialog::hookInto(QMenu *menu, const QAction *rowSource, StationTableModel *model,
                                       QWidget *parent, std::function<int(QDialog *)> run)
{
    auto *action = menu->addAction(tr("Configuration History..."));
    action->setObjectName(QStringLiteral("actConfigHistory"));
    connect(action, &QAction::triggered, parent, [=] {
        const int row = rowSource->property("row").toInt();
        const QList<DBStation> stations = model->stations();
        if (row < 0 || row >= stations.size())
            return;
        const DBStation station = stations.at(row);
        QList<ConfigHistory::Entry> entries;
        ConfigHistory().entries(station.id, &entries);
        ConfigHistoryDialog dialog(station.code, entries, parent);
        run(&dialog);
    });
    return action;
}
