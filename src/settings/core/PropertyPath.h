#pragma once
// Property paths: dotted texts such as "<P>.Left" or "DirEdit1.<P>.Text" that name one stored property.
// Component names come first, then the token "<P>", then the property names; inside a collection the
// segments "<ForAllItems>" and "<Item" n ">" select items.

#include <string>
#include <string_view>
#include <vector>

namespace pardova {

inline constexpr std::string_view kPropertyToken = "<P>";

// Whether the segment is the token "<P>", in any letter case of its "P".
bool IsPropertyToken(std::string_view Segment);

// The text before the first "." of Path; the whole path when it has none.
std::string_view FirstPathSegment(std::string_view Path);
// What follows the first segment and its "."; empty when the path has a single segment.
std::string_view RestAfterFirst(std::string_view Path);
// Every segment of Path, split at each "." (empty segments included); one segment for a path without ".".
std::vector<std::string> SplitSegments(std::string_view Path);

// Orders paths so that the owner's own properties ("<P>" first, in any letter case) come first, then
// components by name, then "<...>" selectors; segments compare case-insensitively by the user's locale.
// Negative, zero or positive.
int ComparePropertyPaths(std::string_view A, std::string_view B);

// The item index written in a selector segment ("<Item" n ">", "__Item" n): decimal digits only, no
// sign, within int range. False for anything else, Value then unspecified.
bool ParseItemIndex(std::string_view Text, int& Value);
// The index of a whole "<Item" n ">" segment, n as ParseItemIndex reads it. False for any other segment.
bool ParseItemSelector(std::string_view Segment, int& Value);

} // namespace pardova
