#pragma once
// Pictures of the report tree's state slots and of the pop-up menu button, painted in code.
#include <QIcon>

namespace kvt {

// Number of tree state images; index 0 is the unused page, odd indexes the selected look of a pair.
constexpr int StateImageCount = 9;

// One of the nine 13 x 13 tree state images; an empty icon for an index outside 0..8.
QIcon stateImage(int index);

// The 16 x 16 glyph of the pop-up menu button: a hand pointing at a highlighted menu entry,
// with a greyed image for the disabled state.
QIcon menuButtonGlyph();

} // namespace kvt
