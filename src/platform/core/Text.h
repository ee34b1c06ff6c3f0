#pragma once
// UTF-8 <-> UTF-16 conversion. Exact for all text without unpaired surrogates; an unpaired surrogate is
// encoded as its three-byte form (WTF-8) so that nothing is lost, and invalid UTF-8 decodes to U+FFFD.

#include <string>
#include <string_view>

namespace pardova {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Number of UTF-16 code units the UTF-8 text takes.
size_t Utf16Length(std::string_view text);

} // namespace pardova
