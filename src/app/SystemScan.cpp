#include "app/SystemScan.h"

#include "core/ConfigDirectory.h"

namespace fernbeacon::app {

std::shared_ptr<const SessionScanner> ScanParts::makeScanner() const {
    return std::make_shared<const SessionScanner>(ownConfigDirectory(homeDirectory), probes,
                                                  preferences, clock, logger);
}

SystemScan::SystemScan(platform::LogTarget logTarget, platform::ProbeSource probes)
    : logger_(platform::makeLogger("SessionScanner", logTarget)),
      runner_(platform::makeCommandRunner()),
      probes_(platform::makeProcessProbes(probes, *runner_, *logger_)),
      preferences_(platform::makePreferences()) {}

SystemScan::~SystemScan() = default;

ScanParts SystemScan::parts() const {
    return {platform::homeDirectory(), *probes_, *preferences_, clock_, *logger_};
}

}  // namespace fernbeacon::app
