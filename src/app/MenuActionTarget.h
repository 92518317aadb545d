#pragma once

#include <QObject>

#include "core/MenuModel.h"

namespace fernbeacon::app {

// Receives the menu's actions, with the menu item (a QAction) as sender.
class MenuActionTarget {
public:
    virtual void performMenuAction(MenuAction action, QObject* sender) = 0;

protected:
    ~MenuActionTarget() = default;
};

}  // namespace fernbeacon::app
