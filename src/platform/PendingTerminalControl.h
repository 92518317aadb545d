#pragma once

#include <memory>

#include "core/Logger.h"
#include "terminal/TerminalControl.h"

namespace fernbeacon::platform {

// Stands in until terminal control is built: logs what was asked and does nothing.
class PendingTerminalControl final : public TerminalControl {
public:
    explicit PendingTerminalControl(std::unique_ptr<Logger> logger) : logger_(std::move(logger)) {}

    void focusSession(const ClaudeSessionPtr& session) override {
        logger_->error("Focusing is not available yet (PID %d)", session ? session->pid : 0);
    }
    void openNewSession(const std::string& directory) override {
        logger_->error("Opening new sessions is not available yet (%s)", directory);
    }
    void warmUp() override {}
    std::vector<std::string> terminalChoices() const override { return {"Auto"}; }

private:
    std::unique_ptr<Logger> logger_;
};

}  // namespace fernbeacon::platform
