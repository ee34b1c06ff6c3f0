#include "settings/core/ObjectText.h"

#include "settings/core/ObjectStream.h"

#include <cstring>

namespace pardova {

TStreamOriginalFormat DetectObjectStreamFormat(TStream& Stream) {
    const int64_t position = Stream.Position();
    uint8_t bytes[4] = {};
    Stream.Read(bytes, sizeof bytes);
    Stream.SetPosition(position);
    if (bytes[0] == 0xFF || std::memcmp(bytes, FilerSignature, 4) == 0 ||
        (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0))
        return sofBinary;
    switch (bytes[0]) {
    case 9: case 11: case 13: case ' ': case 'I': case 'O': case 'i': case 'o': return sofText;
    default: break;
    }
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return sofUTF8Text;
    return sofUnknown;
}

void ConvertObjectStreamToText(TStream&, TStream&) { throw EReadError("Invalid stream format"); }
void ConvertObjectTextToStream(TStream&, TStream&) { throw EParserError("OBJECT expected on line 1"); }

} // namespace pardova
