#include "app/SettingsDialog.h"

#include <QGridLayout>
#include <QLineEdit>
#include <algorithm>

namespace fernbeacon::app {
namespace {

constexpr int kMargin = 20;
constexpr int kRowSpacing = 12;
constexpr int kColumnSpacing = 8;
constexpr int kNumberWidth = 40;

// A spin box whose number is shown but never typed into.
class ReadOnlySpinBox : public QSpinBox {
public:
    explicit ReadOnlySpinBox(QWidget* parent) : QSpinBox(parent) {
        lineEdit()->setReadOnly(true);
        lineEdit()->setAlignment(Qt::AlignCenter);
    }
};

QLabel* rightAligned(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

SettingsDialog::SettingsDialog(const Values& values, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Fernbeacon Settings"));
    setMinimumSize(320, 120);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    grid->setVerticalSpacing(kRowSpacing);
    grid->setHorizontalSpacing(kColumnSpacing);

    terminalChoice_ = new QComboBox(this);
    for (const std::string& choice : values.terminalChoices) {
        terminalChoice_->addItem(QString::fromStdString(choice));
    }
    // A stored value that is not offered selects nothing, and stays stored until a choice.
    terminalChoice_->setCurrentIndex(
        terminalChoice_->findText(QString::fromStdString(values.preferredTerminal.value_or("Auto")),
                                  Qt::MatchExactly | Qt::MatchCaseSensitive));
    grid->addWidget(rightAligned("Terminal App:", this), 0, 0);
    grid->addWidget(terminalChoice_, 0, 1, Qt::AlignLeft);

    maxRecentBox_ = new ReadOnlySpinBox(this);
    maxRecentBox_->setRange(0, kMaxRecentSessionsLimit);
    maxRecentBox_->setSingleStep(1);
    maxRecentBox_->setWrapping(false);
    maxRecentBox_->setValue(static_cast<int>(
        std::clamp<std::int64_t>(values.maxRecentSessions, 0, kMaxRecentSessionsLimit)));
    maxRecentBox_->setMinimumWidth(kNumberWidth + maxRecentBox_->sizeHint().height());
    grid->addWidget(rightAligned("Max recent sessions:", this), 1, 0);
    grid->addWidget(maxRecentBox_, 1, 1, Qt::AlignLeft);

    loginCheckbox_ = new QCheckBox(QStringLiteral("Start on login"), this);
    loginCheckbox_->setChecked(values.startsOnLogin);
    grid->addWidget(loginCheckbox_, 2, 1, Qt::AlignLeft);

    waitingFirstCheckbox_ = new QCheckBox(QStringLiteral("Sessions waiting for you first"), this);
    waitingFirstCheckbox_->setChecked(values.waitingFirst);
    grid->addWidget(waitingFirstCheckbox_, 3, 1, Qt::AlignLeft);
    notifyCheckbox_ = new QCheckBox(QStringLiteral("Notify when a session waits for you"), this);
    notifyCheckbox_->setChecked(values.notifyWhenWaiting);
    grid->addWidget(notifyCheckbox_, 4, 1, Qt::AlignLeft);

    const QString address = QString::fromUtf8(kHomePageAddress);
    const QString linkText = QString(address).remove(QStringLiteral("https://"));
    homePageLink_ = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), linkText), this);
    homePageLink_->setTextFormat(Qt::RichText);
    homePageLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                           Qt::LinksAccessibleByKeyboard);
    homePageLink_->setOpenExternalLinks(false);
    grid->addWidget(rightAligned("More?", this), 5, 0);
    grid->addWidget(homePageLink_, 5, 1, Qt::AlignLeft);
}

}  // namespace fernbeacon::app
