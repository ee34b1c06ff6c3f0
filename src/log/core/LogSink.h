#pragma once
// Where a pass writes its run-log lines: the program's log (through AddToLog), or what a test puts there.

#include <cstddef>
#include <string>

namespace pardova {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Writes one line. What goes wrong is raised as an exception, which ends the pass.
    virtual void Write(const std::string& line) = 0;
    // Writes the lines in their order, as Write would one by one; stops at the first that fails.
    virtual void WriteLines(const std::string* lines, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            Write(lines[i]);
        }
    }
};

} // namespace pardova
