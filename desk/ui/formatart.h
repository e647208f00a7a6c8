// The notes' format bar pictures, our own artwork in every theme: image 0
// Cut, 1 Copy, 2 Paste, 3 Bold, 4 Italic, 5 Underline, 6 Text Color,
// 7 Align Left, 8 Align Center, 9 Align Right.
#pragma once

#include <QIcon>

namespace desk::ui {

constexpr int kFormatImages = 10;

// Image `image` of the format bar; a null icon outside 0..9.
QIcon formatBarImage(int image);

} // namespace desk::ui
