#pragma once
// The built-in images of the button inside a field.

#include <QList>
#include <QPixmap>

namespace pardova {

// The built-in glyphs, two 16 x 16 images each (normal, then hot/pressed): 0 document, 1 folder,
// 2 ellipsis, 3 drop-down arrow, 4 magnifier.
const QList<QPixmap>& BuiltInGlyphs();
inline constexpr int kGlyphSize = 16;

} // namespace pardova
