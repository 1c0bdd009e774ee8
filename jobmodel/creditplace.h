#pragma once
// Where a credit text stands on its card: centred on the output's width or height. A pure
// rule of the output size, so the dialog (which measures the text on screen) and the
// conversion worker (which builds the player of one item) place it alike, each with the
// size it knows, and neither reads a control.

namespace jobmodel {

enum CreditAxis { kCreditHorizontal = 2, kCreditVertical = 3 };

// (outputWidth - size) / 2 for the horizontal axis, (outputHeight - size) / 2 for the
// vertical one, halved toward zero (-3 gives -1); 0 when size is 0 or the axis is neither.
// The difference is taken in 64 bits, so no pair of int values overflows.
int CreditTextOffset(int axis, int size, int outputWidth, int outputHeight);

}  // namespace jobmodel
