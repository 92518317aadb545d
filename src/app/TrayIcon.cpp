#include "app/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "app/ColorTable.h"

namespace fernbeacon::app {
namespace {

constexpr int kTitleFontSize = 12;
constexpr int kHalo = 1;
constexpr int kAttentionDot = 7;

}  // namespace

TrayIcon::TrayIcon(bool menuIsExported, QObject* parent)
    : QSystemTrayIcon(parent), menuIsExported_(menuIsExported) {
    connect(this, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
}

TrayIcon::~TrayIcon() {
    setContextMenu(nullptr);
}

QImage TrayIcon::titleImage(const QString& title, qreal devicePixelRatio) {
    const QFont font = fontFor(kTitleFontSize, FontWeight::Bold);
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(title) + 2 * kHalo, metrics.height() + 2 * kHalo);
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addText(kHalo, kHalo + metrics.ascent(), font, title);
    const QPalette palette = QApplication::palette();
    QColor halo = palette.color(QPalette::Window);
    halo.setAlphaF(0.7f);
    painter.strokePath(path, QPen(halo, 2 * kHalo));
    painter.fillPath(path, palette.color(QPalette::WindowText));
    return image;
}

QIcon TrayIcon::titleIcon(const QString& title) {
    // Drawn at each ratio rather than scaled, so that the text stays sharp on every screen. An
    // image of a size the icon holds already replaces it.
    const QScreen* screen = QApplication::primaryScreen();
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0, screen != nullptr ? screen->devicePixelRatio() : 1.0}) {
        icon.addPixmap(QPixmap::fromImage(titleImage(title, ratio)));
    }
    return icon;
}

void TrayIcon::setTitle(const QString& title) {
    title_ = title;
    setIcon(titleIcon(title));
    setToolTip(title);
}

void TrayIcon::setAttention(bool waiting, const QString& toolTip) {
    attention_ = waiting;
    const QScreen* screen = QApplication::primaryScreen();
    const QImage title = titleImage(title_, screen != nullptr ? screen->devicePixelRatio() : 1.0);
    setIcon(QIcon(QPixmap::fromImage(waiting ? withAttentionDot(title) : title)));
    setToolTip(toolTip);
}

QImage TrayIcon::withAttentionDot(const QImage& title) {
    const qreal ratio = title.devicePixelRatio();
    const QSizeF logical = title.deviceIndependentSize();
    const qreal dot = kAttentionDot;
    QImage image((QSizeF(logical.width() + dot, logical.height()) * ratio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(QPointF(0, 0), title);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colorFor(RoleColor{ColorRole::Attention}, QApplication::palette()));
    painter.drawEllipse(QRectF(logical.width(), 0, dot, dot));
    return image;
}

void TrayIcon::setMenu(std::unique_ptr<QMenu> menu) {
    if (menu_ && menu_->isVisible()) {
        QMenu* open = menu_.release();
        connect(open, &QMenu::aboutToHide, open, &QObject::deleteLater);
    }
    menu_ = std::move(menu);
    if (!menuIsExported_) {
        setContextMenu(menu_.get());
    }
}

void TrayIcon::popUpMenu() {
    if (!menu_) {
        return;
    }
    if (menu_->isVisible()) {
        menu_->close();
        return;
    }
    // Beside the icon when the tray says where it is, else at the pointer. Qt moves the menu up
    // when there is no room below.
    const QRect icon = geometry();
    const QScreen* screen = icon.isValid() ? QApplication::screenAt(icon.center()) : nullptr;
    if (screen == nullptr) {
        menu_->popup(QCursor::pos());
        return;
    }
    const bool iconInUpperHalf = icon.center().y() < screen->geometry().center().y();
    menu_->popup(iconInUpperHalf ? icon.bottomLeft() + QPoint(0, 1) : icon.topLeft());
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    // A right click on an embedded icon already opened the context menu.
    const bool contextMenuShown = reason == QSystemTrayIcon::Context && !menuIsExported_;
    // A second click soon after the first arrives as a double click; it opens the menu too.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
        reason == QSystemTrayIcon::Context) {
        if (!contextMenuShown) {
            popUpMenu();
        }
    }
}

}  // namespace fernbeacon::app
