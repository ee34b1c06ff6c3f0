#pragma once
// Per-entry access to INI files through the platform's own functions (Windows' private-profile functions).
// Where the platform has none, HasPrivateProfile() is false and callers keep the file themselves.

#include <optional>
#include <string>
#include <vector>

namespace pardova::platform {

bool HasPrivateProfile();

// Writes Key=Value in Section of File; a missing Value deletes the key. False when the platform refuses.
bool WritePrivateProfileEntry(const std::string& File, const std::string& Section, const std::string& Key,
                              const std::optional<std::string>& Value);
// The value of Key in Section, or nothing when the key is not there.
std::optional<std::string> ReadPrivateProfileEntry(const std::string& File, const std::string& Section,
                                                   const std::string& Key);
// The key names of Section, in file order.
std::vector<std::string> ReadPrivateProfileKeys(const std::string& File, const std::string& Section);
// Asks the platform to write out what it caches for File.
void FlushPrivateProfile(const std::string& File);

} // namespace pardova::platform
