#include "checkmenu.h"

#include <QKeyEvent>
#include <QMouseEvent>

void CheckMenu::mouseReleaseEvent(QMouseEvent *event)
{
    QAction *action = actionAt(event->pos());
    if (action && action->isCheckable() && action->isEnabled()) {
        action->trigger();
        return;
    }
    QMenu::mouseReleaseEvent(event);
}

void CheckMenu::keyPressEvent(QKeyEvent *event)
{
    QAction *action = activeAction();
    const bool accept =
        event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (accept && action && action->isCheckable() && action->isEnabled()) {
        action->trigger();
        return;
    }
    QMenu::keyPressEvent(event);
}
