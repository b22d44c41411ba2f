#pragma once

#include <QMenu>

// A menu of check boxes that stays open while they are ticked; a click on
// any other entry closes it as usual.
class CheckMenu : public QMenu
{
    Q_OBJECT
public:
    using QMenu::QMenu;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
