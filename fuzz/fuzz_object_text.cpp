// The text-form parser: any input either converts or raises a parser error. What it produces must be a
// stream that converts back to text, and that text must be a fixed point of the two conversions.

#include "settings/core/ObjectText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace pardova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream input(std::string_view(reinterpret_cast<const char*>(data), size));
    TMemoryStream binary;
    try {
        ConvertObjectTextToStream(input, binary);
    } catch (const EParserError&) {
        return 0;
    }

    // A stream of our own making must always be readable, and its text canonical.
    binary.SetPosition(0);
    TMemoryStream text;
    ConvertObjectStreamToText(binary, text);
    text.SetPosition(0);
    TMemoryStream binary2;
    ConvertObjectTextToStream(text, binary2);
    binary2.SetPosition(0);
    TMemoryStream text2;
    ConvertObjectStreamToText(binary2, text2);
    if (text.View() != text2.View()) std::abort();
    return 0;
}
