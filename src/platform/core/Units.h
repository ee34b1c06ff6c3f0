#pragma once
// Process-wide finalisation. Each unit of the program that owns process-wide state registers its clean-up
// when it is initialised; the clean-ups run once, in reverse order of registration, after the windows have
// been destroyed (normal exit and Halt alike), so a window's destroy handler can still use them.

#include <functional>

namespace pardova::platform {

void RegisterFinalizer(std::function<void()> finalizer);

// Runs every registered finaliser, last registered first, and forgets them. A finaliser that throws does
// not stop the others: the process is ending and nobody is left to report to.
void RunFinalizers();

} // namespace pardova::platform
