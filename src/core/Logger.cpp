#include "core/Logger.h"

namespace fernbeacon {

std::string Logger::substitute(std::string_view format, std::vector<std::string> arguments) {
    std::string out;
    out.reserve(format.size() + 32);
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        std::size_t j = i + 1;
        if (format[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        while (j < format.size() && format[j] == 'l') {
            ++j;
        }
        if (j < format.size() && (format[j] == 'd' || format[j] == 's')) {
            out += next < arguments.size() ? arguments[next] : std::string("(missing)");
            ++next;
            i = j;
            continue;
        }
        out += format[i];
    }
    return out;
}

}  // namespace fernbeacon
