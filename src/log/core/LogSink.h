#pragma once
// Where a pass writes its run-log lines: the program's log (through AddToLog), or what a test puts there.

#include <string>

namespace pardova {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Writes one line. What goes wrong is raised as an exception, which ends the pass.
    virtual void Write(const std::string& line) = 0;
};

} // namespace pardova
