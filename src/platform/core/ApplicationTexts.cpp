#include "platform/core/ApplicationTexts.h"

#include "platform/core/Locale.h"
#include "platform/core/Text.h"

#include <algorithm>

namespace pardova::platform {

std::string ErrorBoxText(const std::string& message) {
    if (message.empty()) {
        return message;
    }
    // The rule looks at the last character, not at the last byte of its UTF-8 form.
    const std::u16string wide = Utf8ToUtf16(message);
    if (!wide.empty() && wide.back() > u'.') {
        return message + ".";
    }
    return message;
}

std::string ApplicationTitleFromFileName(std::string_view fileName) {
    const std::string_view stem = fileName.substr(0, fileName.find('.'));
    if (stem.empty()) {
        return {};
    }
    const size_t first = std::min(Utf8LengthFromLead(static_cast<unsigned char>(stem[0])), stem.size());
    return std::string(stem.substr(0, first)) + platform::LowerCase(stem.substr(first));
}

} // namespace pardova::platform
