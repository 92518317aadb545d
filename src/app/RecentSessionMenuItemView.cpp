#include "app/RecentSessionMenuItemView.h"

namespace fernbeacon::app {

RecentSessionMenuItemView::RecentSessionMenuItemView(const RecentSession& session,
                                                     QAction* menuItem, MenuActionTarget* target,
                                                     MenuAction action, QWidget* parent)
    : MenuRowView(recentSessionRowModel(session), menuItem, target, action, parent) {}

}  // namespace fernbeacon::app
