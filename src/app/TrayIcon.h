#pragma once

#include <QImage>
#include <QMenu>
#include <QSystemTrayIcon>
#include <memory>

namespace fernbeacon::app {

// The tray icon: the title drawn as text, and the menu.
//
// Hosts that embed the icon as an X11 window show the Qt-drawn menu, custom rows included. Hosts
// that take the menu over D-Bus (StatusNotifierItem) would show plain items only, so there the
// icon gets no exported menu and a click pops the Qt-drawn one up at the pointer.
class TrayIcon : public QSystemTrayIcon {
    Q_OBJECT
public:
    explicit TrayIcon(bool menuIsExported, QObject* parent = nullptr);
    ~TrayIcon() override;

    QString title() const { return title_; }
    // Draws the title into the icon and the tooltip.
    void setTitle(const QString& title);
    // While a session waits the icon carries a dot in the attention colour; the tooltip names
    // the waiting sessions. Draws the current title.
    void setAttention(bool waiting, const QString& toolTip);
    bool showsAttention() const { return attention_; }
    // The title image widened by a dot in the attention colour at its top right.
    static QImage withAttentionDot(const QImage& title);

    // Replaces the menu. One that is open stays until it closes, so a refresh never snatches a
    // menu away from under the pointer.
    void setMenu(std::unique_ptr<QMenu> menu);
    QMenu* menu() const { return menu_.get(); }

    // The title as the icon shows it: bold system font of size 12 on a transparent image sized to
    // the text, with a thin halo so that it reads on light and dark panels alike.
    static QImage titleImage(const QString& title, qreal devicePixelRatio);
    // The title image at device pixel ratios 1 and 2, and at the screen's own.
    static QIcon titleIcon(const QString& title);

    // Opens the menu at the pointer, or closes it when it is open.
    void popUpMenu();

private:
    void activate(QSystemTrayIcon::ActivationReason reason);

    const bool menuIsExported_;
    QString title_;
    bool attention_ = false;
    std::unique_ptr<QMenu> menu_;
};

}  // namespace fernbeacon::app
