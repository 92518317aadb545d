#include "platform/linux/JournalLogger.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>

namespace fernbeacon::platform {

JournalLogger::JournalLogger(std::string category)
    : categoryField_("FERNBEACON_CATEGORY=" + category) {}

void JournalLogger::write(LogLevel level, std::string_view message) {
    const int priority = level == LogLevel::Error ? LOG_ERR : LOG_INFO;
    sd_journal_send("MESSAGE=%.*s", static_cast<int>(message.size()), message.data(), "PRIORITY=%d",
                    priority, "SYSLOG_IDENTIFIER=fernbeacon", "FERNBEACON_SUBSYSTEM=%s",
                    kLogSubsystem, "%s", categoryField_.c_str(), nullptr);
}

bool JournalLogger::available() {
    struct stat socket {};
    return ::stat("/run/systemd/journal/socket", &socket) == 0 && S_ISSOCK(socket.st_mode);
}

}  // namespace fernbeacon::platform
