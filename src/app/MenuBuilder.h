#pragma once

#include <QMenu>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "core/MenuModel.h"

namespace fernbeacon::app {

// What choosing each kind of entry does. Main thread only.
struct MenuCallbacks {
    std::function<void(const ClaudeSessionPtr&)> focusSession;
    std::function<void(const RecentSession&)> openRecent;
    std::function<void()> refresh;
    std::function<void()> showSettings;
    std::function<void()> quit;
};

// A new menu with one item per model item: plain items for titles and commands, a row widget for
// each session. Choosing an item, by mouse or keyboard, calls its kind's callback with the
// item's own record while `receiver` lives.
std::unique_ptr<QMenu> buildMenu(std::span<const MenuItemModel> items,
                                 const MenuCallbacks& callbacks, const QObject* receiver);

}  // namespace fernbeacon::app
