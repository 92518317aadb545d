#pragma once

#include "app/MenuRowView.h"
#include "core/SessionRecords.h"

namespace fernbeacon::app {

// The quieter row of a recent session: folder name and title.
class RecentSessionMenuItemView : public MenuRowView {
    Q_OBJECT
public:
    RecentSessionMenuItemView(const RecentSession& session, QAction* menuItem,
                              MenuActionTarget* target, MenuAction action,
                              QWidget* parent = nullptr);
};

}  // namespace fernbeacon::app
