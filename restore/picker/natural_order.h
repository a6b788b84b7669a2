#pragma once
// The order of the file picker's names: runs of digits compare as numbers,
// everything else compares without regard to letter case ("IMG_2" comes
// before "IMG_10", "a.txt" beside "A.TXT").

#include <QString>

namespace rk {

// A key whose plain comparison (QString's operator<) gives that order. Letter
// case is folded; each run of ASCII digits is written as its length, then its
// digits without leading zeros, so a longer number sorts after a shorter one.
// The length stays within '0'..'9', so a number keeps its place against the
// other characters. Names that differ only in leading zeros have the same key.
QString NaturalOrderKey(const QString& text);

} // namespace rk
