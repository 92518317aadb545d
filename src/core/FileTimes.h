#pragma once

#include <sys/stat.h>

#include <ctime>

namespace fernbeacon {

// The content modification time of a stat result. POSIX names the field st_mtim; the other
// desktop's system calls it st_mtimespec.
template <typename Status>
timespec modificationTimeOf(const Status& status) {
    if constexpr (requires(const Status& s) { s.st_mtim; }) {
        return status.st_mtim;
    } else {
        return status.st_mtimespec;
    }
}

}  // namespace fernbeacon
