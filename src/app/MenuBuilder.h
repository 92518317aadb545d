#pragma once

#include <QMenu>
#include <QMetaType>
#include <memory>
#include <span>

#include "app/MenuActionTarget.h"
#include "core/MenuModel.h"

Q_DECLARE_METATYPE(fernbeacon::ClaudeSessionPtr)
Q_DECLARE_METATYPE(std::shared_ptr<const fernbeacon::RecentSessionBox>)

namespace fernbeacon::app {

// A new menu with one item per model item: plain items for titles and commands, a row widget for
// each session. Every item that has an action sends it to `target`, with itself as sender,
// whether chosen by mouse or keyboard. Session items carry their record as data.
std::unique_ptr<QMenu> buildMenu(std::span<const MenuItemModel> items, MenuActionTarget* target);

// The records a menu item carries; empty for any other item.
ClaudeSessionPtr sessionOf(const QObject* item);
std::shared_ptr<const RecentSessionBox> recentBoxOf(const QObject* item);

}  // namespace fernbeacon::app
