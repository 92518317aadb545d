#include "app/SessionMenuItemView.h"

#include "app/Listing.h"

namespace fernbeacon::app {

SessionMenuItemView::SessionMenuItemView(const ClaudeSession& session, QAction* menuItem,
                                         MenuActionTarget* target, MenuAction action,
                                         QWidget* parent)
    : MenuRowView(sessionRowModel(session), menuItem, target, action, parent) {
    setAccessibleText(sessionListingLines(session));
}

}  // namespace fernbeacon::app
