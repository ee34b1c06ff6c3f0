#pragma once
// The built-in images of the button inside a field.

#include <QList>
#include <QPixmap>

namespace pardova {

// The built-in glyphs, two 16 x 16 images each (normal, then hot/pressed): 0 document, 1 folder,
// 2 ellipsis, 3 drop-down arrow, 4 magnifier.
// They are drawn at their first use, when a button is painted; a field that is never shown draws none.
const QList<QPixmap>& BuiltInGlyphs();
inline constexpr int kGlyphSize = 16;
// How many images BuiltInGlyphs holds, known without drawing them.
inline constexpr int kBuiltInGlyphCount = 10;

} // namespace pardova
