#include "platform/core/CommandLine.h"

#ifdef _WIN32
#include "win32/CommandLine.inc"
#else
#include "posix/CommandLine.inc"
#endif

namespace pardova::platform {

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> result;
    size_t i = 0;
    const size_t n = commandLine.size();
    // Bytes of multi-byte UTF-8 sequences are all above 127, so byte-wise tests see only ASCII separators.
    auto isBlank = [&](size_t at) { return static_cast<unsigned char>(commandLine[at]) <= 32; };
    for (;;) {
        while (i < n && isBlank(i)) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::string argument;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(i))) {
            if (commandLine[i] == '"') {
                quoted = !quoted;
            } else {
                argument += commandLine[i];
            }
            ++i;
        }
        result.push_back(std::move(argument));
    }
    return result;
}

} // namespace pardova::platform
