#pragma once
// Process, identity and clock services.

#include <cstdint>
#include <memory>
#include <string>

namespace pardova::platform {

// The full path of the running executable.
std::string GetModulePath();
std::string GetComputerNameText();
std::string GetUserNameText();
uint32_t CurrentProcessId();
uint32_t CurrentThreadId();

struct LocalDateTime {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
LocalDateTime LocalNow();

// A machine-wide named mutex, held from Acquire until destruction. Acquire waits without a time limit; a
// mutex abandoned by a dead holder counts as acquired. When the mutex cannot be opened or created the
// wait fails at once and Acquire returns a holder that holds nothing.
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
    static std::unique_ptr<NamedMutex> Acquire(const std::string& name);
};

// Lifts the process's limit of open files to the most the platform allows it, so that a walk holding one
// open directory search per level does not run out of handles on a deep tree. True when the limit is now
// as high as allowed (or the platform has no such limit).
bool RaiseOpenFileLimit();

// Makes a write past the process's file-size limit fail like any other write instead of ending the process
// (SIGXFSZ ignored on POSIX; nothing to do elsewhere). Called once at program start.
void IgnoreFileSizeSignal();

} // namespace pardova::platform
