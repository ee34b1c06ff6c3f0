#pragma once
// The text form of object streams: an indented listing of objects and their values, one value per line
// (long strings and lists over several), each line ended by CR LF. Converts both ways and tells which form
// a stored byte sequence holds.

#include "platform/core/Exceptions.h"
#include "settings/core/Stream.h"

namespace pardova {

// A syntax error in a text form; the message reads "<what> on line <n>".
class EParserError : public platform::Exception {
    using platform::Exception::Exception;
};

enum TStreamOriginalFormat { sofUnknown, sofBinary, sofText, sofUTF8Text };

// Reads an object stream from Input's position and appends its text form to Output. Raises EReadError
// ("Invalid stream format", "Error reading <object>.<property>: <reason>") on a stream it cannot read.
void ConvertObjectStreamToText(TStream& Input, TStream& Output);

// Reads a text form from Input's position and appends its object stream to Output. Raises EParserError on
// a text that does not parse.
void ConvertObjectTextToStream(TStream& Input, TStream& Output);

// Looks at the first four bytes (missing ones count as zero); the position is left unchanged.
TStreamOriginalFormat DetectObjectStreamFormat(TStream& Stream);

} // namespace pardova
