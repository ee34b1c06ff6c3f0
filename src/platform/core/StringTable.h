#pragma once
// Texts from the string tables of the platform's system modules, where the platform has them.

#include <string>

namespace pardova::platform {

// The string numbered `id` in the string table of the system module `module` (such as "user32.dll"), as
// UTF-8; empty when the platform has no such tables, the module cannot be loaded or holds no such string.
std::string LoadModuleString(const std::string& module, unsigned id);

} // namespace pardova::platform
