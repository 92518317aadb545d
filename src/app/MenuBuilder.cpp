#include "app/MenuBuilder.h"

#include <QWidgetAction>

#include "app/Listing.h"
#include "app/MenuRowView.h"

namespace fernbeacon::app {
namespace {

QKeySequence shortcutFor(char key) {
    return key == 0 ? QKeySequence() : QKeySequence(QStringLiteral("Ctrl+") + QChar(key));
}

QAction* rowItem(QMenu& menu, const MenuItemModel& item) {
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(item.session
                                 ? new MenuRowView(sessionRowModel(*item.session),
                                                   sessionListingLines(*item.session), action)
                                 : new MenuRowView(recentSessionRowModel(*item.recent),
                                                   recentListingLines(*item.recent), action));
    return action;
}

// The callback of the item, holding its record; empty for items that do nothing.
std::function<void()> choiceOf(const MenuItemModel& item, const MenuCallbacks& callbacks) {
    const auto bound = [](const auto& callback, const auto& record) -> std::function<void()> {
        if (!callback) {
            return {};
        }
        return [callback, record] { callback(record); };
    };
    switch (item.kind) {
        case MenuItemKind::Session:
            return bound(callbacks.focusSession, item.session);
        case MenuItemKind::RecentSession:
            return bound(callbacks.openRecent, *item.recent);
        case MenuItemKind::Refresh:
            return callbacks.refresh;
        case MenuItemKind::Settings:
            return callbacks.showSettings;
        case MenuItemKind::Quit:
            return callbacks.quit;
        case MenuItemKind::NoSessions:
        case MenuItemKind::Separator:
        case MenuItemKind::RecentHeading:
            break;
    }
    return {};
}

}  // namespace

std::unique_ptr<QMenu> buildMenu(std::span<const MenuItemModel> items,
                                 const MenuCallbacks& callbacks, const QObject* receiver) {
    auto menu = std::make_unique<QMenu>();
    for (const MenuItemModel& item : items) {
        if (item.kind == MenuItemKind::Separator) {
            menu->addSeparator();
            continue;
        }
        const bool isRow = item.session || item.recent;
        QAction* action = isRow ? rowItem(*menu, item)
                                : new QAction(QString::fromStdString(item.title), menu.get());
        action->setEnabled(item.enabled);
        action->setShortcut(shortcutFor(item.shortcut));
        if (auto choice = choiceOf(item, callbacks); choice && receiver != nullptr) {
            QObject::connect(action, &QAction::triggered, receiver, std::move(choice));
        }
        menu->addAction(action);
    }
    return menu;
}

}  // namespace fernbeacon::app
