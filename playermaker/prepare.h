#pragma once
// The prepare step of every build: checks the records, then adjusts them in place
// (control-bar height from the skin name, font sizes, scale, preview fitting).
#include <string_view>

#include "playermaker/morvbrindle.h"

namespace morvbrindle {

// The preview stage every preview build is fitted into.
inline constexpr int kPreviewWidth = 340;
inline constexpr int kPreviewHeight = 255;

// Truncates toward zero into an int; out-of-range values saturate, NaN gives 0.
int TruncToInt(double value);

// The control-bar height a skin file name gives: the number after "h" in the leftmost
// "_h" part of the base name (0 when no digits follow); `current` when there is no such part.
float ControlBarHeightFromSkin(std::string_view skinFile, float current);

// 0 when the records describe a player that can be built, else kbnErrBadOptions: a missing
// generate or player record, an empty output path, a size below 1, a frame rate that is
// not a positive finite number below 256, or an embedded build without media.
int CheckOptions(const KbnUIGroupOption& group);

// Adjusts the group's records in place; run CheckOptions first.
void PrepareOptions(KbnUIGroupOption& group);

}  // namespace morvbrindle
