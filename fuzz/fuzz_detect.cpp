// Format detection followed by what a storage manager does with the answer: converting text to a stream,
// or reading the binary stream. Detection must leave the position where it was.

#include "settings/core/ObjectText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace pardova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream input(std::string_view(reinterpret_cast<const char*>(data), size));
    const TStreamOriginalFormat format = DetectObjectStreamFormat(input);
    if (input.Position() != 0) std::abort();
    try {
        TMemoryStream output;
        if (format == sofText || format == sofUTF8Text)
            ConvertObjectTextToStream(input, output);
        else if (format == sofBinary)
            ConvertObjectStreamToText(input, output);
    } catch (const platform::Exception&) {
    }
    return 0;
}
