#include "app/SessionMenuItemView.h"

namespace fernbeacon::app {

SessionMenuItemView::SessionMenuItemView(const ClaudeSession& session, QAction* menuItem,
                                         MenuActionTarget* target, MenuAction action,
                                         QWidget* parent)
    : MenuRowView(sessionRowModel(session), menuItem, target, action, parent) {}

}  // namespace fernbeacon::app
