#pragma once

#include "app/MenuRowView.h"
#include "core/SessionRecords.h"

namespace fernbeacon::app {

// The row of a live session: name (with a badge for editor-hosted sessions), title, context
// bar and detail line.
class SessionMenuItemView : public MenuRowView {
    Q_OBJECT
public:
    SessionMenuItemView(const ClaudeSession& session, QAction* menuItem, MenuActionTarget* target,
                        MenuAction action, QWidget* parent = nullptr);
};

}  // namespace fernbeacon::app
