// Writes log lines as a pass does, with this system's configuration of the log ("log", 2000 KiB, five
// rotated files, timestamp and type, " | "), so that the cost of a line can be measured on its own
// (callgrind: the difference between two counts of lines, divided by the difference of the counts).
//
//   logline FOLDER COUNT [held|plain]
//
// held (the default): the lines are written under a hold, as during a pass; plain: each line opens and
// closes the file. Built against a build's libraries, for instance
//   g++ -O2 -g -std=c++20 -Isrc bench/logline.cpp build/src/log/libpardova_log_core.a \
//       build/src/platform/libpardova_platform_core.a -lpthread -o logline
// and with -DLOGLINE_NO_HOLD against a log without holds (an older one), which writes every line the
// plain way.
#include "log/core/SimpleLog.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

int main(int argc, char** argv) {
    using namespace pardova;
    if (argc < 3) {
        return 2;
    }
    const std::string folder = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const bool held = argc < 4 || std::string(argv[3]) != "plain";
    SimpleLog().RegisterLog("log", folder + "/log.txt", 2000, 5, TLogProperties{lpTimestamp, lpType}, " | ");
    SimpleLog().SetLockType(ltProcess);
#ifndef LOGLINE_NO_HOLD
    std::optional<TLogHold> hold;
    if (held) {
        hold.emplace(SimpleLog());
    }
#else
    (void)held;
#endif
    // A path of the length a walk logs, different on every line.
    std::string text = folder + "/A/d0001/d0002/d0003/f0000000.dat";
    for (long i = 0; i < count; ++i) {
        for (long n = i, p = static_cast<long>(text.size()) - 5; p >= static_cast<long>(text.size()) - 11;
             --p, n /= 10) {
            text[static_cast<size_t>(p)] = static_cast<char>('0' + n % 10);
        }
        SimpleLog().LogInfo("log", text);
    }
    return 0;
}
