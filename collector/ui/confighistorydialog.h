#pragma once

#include "store/confighistory.h"

#include <QDialog>
#include <QList>

#include <functional>

class QAction;
class QMenu;
class QTreeWidget;
class StationTableModel;

// A station's configuration history: every entry with its source, actor
// and what changed against the entry before it; an upload's entry also
// says which records the device confirmed.
class ConfigHistoryDialog : public QDialog
{
    Q_OBJECT
public:
    ConfigHistoryDialog(const QString &code, const QList<ConfigHistory::Entry> &entries,
                        QWidget *parent = nullptr);

    // Adds "Configuration History..." to a station table's menu; it opens
    // the history of the row that `rowSource` carries in its "row" property.
    static QAction *hookInto(QMenu *menu, const QAction *rowSource, StationTableModel *model, QWidget *parent,
                             std::function<int(QDialog *)> run);

    QTreeWidget *tree() const { return view; }

private:
    QTreeWidget *view;
};
