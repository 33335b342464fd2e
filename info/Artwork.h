// The about box's pictures, drawn by the program itself: the product icon
// and the maker's small logo.
#pragma once

#include <QPixmap>

namespace orvan::art {

// A chip with a write pulse across it, `size` pixels square.
QPixmap ProductIcon(int size);
// The maker's mark: an "O" ring around a spark, `size` pixels square.
QPixmap MakerLogo(int size);

} // namespace orvan::art
