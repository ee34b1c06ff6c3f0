// The INI document: any bytes load; what it writes back it reads back to the same document; and the
// settings store's save (erase its section, append its lines) leaves every other section as it was, so a
// settings.ini stays the same through every later start and save.

#include "platform/core/Locale.h"
#include "settings/core/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace pardova;

namespace {

void ExpectSameDocument(const TMemIniFile& a, const TMemIniFile& b) {
    if (a.ReadSections() != b.ReadSections()) std::abort();
    for (const std::string& section : a.ReadSections()) {
        if (a.ReadSectionValues(section) != b.ReadSectionValues(section)) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemIniFile first("");
    first.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string saved = first.SaveToBytes();

    TMemIniFile second("");
    second.LoadFromBytes(saved);
    if (second.SaveToBytes() != saved) std::abort();
    ExpectSameDocument(first, second);

    // The store's save: its section erased and appended anew; the others keep their content and order.
    std::vector<std::string> others;
    for (const std::string& section : second.ReadSections()) {
        if (!platform::SameText(section, "TMainForm")) others.push_back(section);
    }
    second.EraseSection("TMainForm");
    second.WriteString("TMainForm", "Line0", "'object MainForm: TMainForm'");
    second.WriteString("TMainForm", "Line1", "'end'");
    std::vector<std::string> after;
    for (const std::string& section : second.ReadSections()) {
        if (!platform::SameText(section, "TMainForm")) after.push_back(section);
    }
    if (after != others) std::abort();
    for (const std::string& section : others) {
        if (second.ReadSectionValues(section) != first.ReadSectionValues(section)) std::abort();
    }
    TMemIniFile third("");
    third.LoadFromBytes(second.SaveToBytes());
    ExpectSameDocument(second, third);
    return 0;
}
