#include "app/MenuBuilder.h"

#include <QWidgetAction>

#include "app/RecentSessionMenuItemView.h"
#include "app/SessionMenuItemView.h"

namespace fernbeacon::app {
namespace {

QKeySequence shortcutFor(char key) {
    return key == 0 ? QKeySequence() : QKeySequence(QStringLiteral("Ctrl+") + QChar(key));
}

QAction* rowItem(QMenu& menu, const MenuItemModel& item, MenuActionTarget* target) {
    auto* action = new QWidgetAction(&menu);
    QWidget* view = nullptr;
    if (item.session) {
        action->setData(QVariant::fromValue(item.session));
        view = new SessionMenuItemView(*item.session, action, target, item.action);
    } else {
        action->setData(QVariant::fromValue(item.recent));
        view = new RecentSessionMenuItemView(item.recent->session, action, target, item.action);
    }
    action->setDefaultWidget(view);
    return action;
}

}  // namespace

std::unique_ptr<QMenu> buildMenu(std::span<const MenuItemModel> items, MenuActionTarget* target) {
    auto menu = std::make_unique<QMenu>();
    for (const MenuItemModel& item : items) {
        if (item.kind == MenuItemKind::Separator) {
            menu->addSeparator();
            continue;
        }
        const bool isRow =
            item.kind == MenuItemKind::Session || item.kind == MenuItemKind::RecentSession;
        QAction* action = isRow ? rowItem(*menu, item, target)
                                : new QAction(QString::fromStdString(item.title), menu.get());
        action->setEnabled(item.enabled);
        action->setShortcut(shortcutFor(item.keyEquivalent));
        if (item.action != MenuAction::None && target != nullptr) {
            const MenuAction kind = item.action;
            QObject::connect(action, &QAction::triggered, menu.get(),
                             [target, kind, action] { target->performMenuAction(kind, action); });
        }
        menu->addAction(action);
    }
    return menu;
}

ClaudeSessionPtr sessionOf(const QObject* item) {
    const auto* action = qobject_cast<const QAction*>(item);
    return action != nullptr ? action->data().value<ClaudeSessionPtr>() : nullptr;
}

std::shared_ptr<const RecentSessionBox> recentBoxOf(const QObject* item) {
    const auto* action = qobject_cast<const QAction*>(item);
    return action != nullptr ? action->data().value<std::shared_ptr<const RecentSessionBox>>()
                             : nullptr;
}

}  // namespace fernbeacon::app
