#pragma once

#include <array>
#include <functional>

class Form2;
class QString;

// The notifier's alerts when mail waits: the panel's blink and the window's shake. Both pause
// between their steps through wait, which handles events meanwhile, and stop at the program's end.
namespace notifier {

using Wait = std::function<void(double seconds)>;

// One row of the blink sequence: the colour slot (2 blink colour A, 3 blink colour B) and the wait
// after it, in seconds; the last row has no wait.
struct BlinkStep {
    int colourSlot;
    double wait;
};
inline constexpr int kBlinkColourA = 2;
inline constexpr int kBlinkColourB = 3;
extern const std::array<BlinkStep, 18> kBlinkSequence;

// Runs the blink sequence on the panel. colourText gives a colour slot's field text; it is read
// again at every row, since the colour dialog may change the colours meanwhile.
void blink(Form2& notifier, const std::function<QString(int slot)>& colourText, const Wait& wait);

// 101 small random moves around the window's place, then back to it, above the other windows.
void shake(Form2& notifier, const Wait& wait);

} // namespace notifier
