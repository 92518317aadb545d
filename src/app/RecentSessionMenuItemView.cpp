#include "app/RecentSessionMenuItemView.h"

#include "app/Listing.h"

namespace fernbeacon::app {

RecentSessionMenuItemView::RecentSessionMenuItemView(const RecentSession& session,
                                                     QAction* menuItem, MenuActionTarget* target,
                                                     MenuAction action, QWidget* parent)
    : MenuRowView(recentSessionRowModel(session), menuItem, target, action, parent) {
    setAccessibleText(recentListingLines(session));
}

}  // namespace fernbeacon::app
