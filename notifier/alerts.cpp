#include "notifier/alerts.h"

#include "app/lifecycle.h"
#include "app/twips.h"
#include "app/x11window.h"
#include "notifier/form2.h"

#include <QRandomGenerator>
#include <QString>
#include <cmath>

namespace notifier {

const std::array<BlinkStep, 18> kBlinkSequence = {{
    {kBlinkColourA, 0.01},
    {kBlinkColourB, 0.02},
    {kBlinkColourA, 0.03},
    {kBlinkColourB, 0.3},
    {kBlinkColourA, 0.02},
    {kBlinkColourB, 0.04},
    {kBlinkColourA, 0.04},
    {kBlinkColourB, 0.03},
    {kBlinkColourA, 1.0},
    {kBlinkColourA, 0.05},
    {kBlinkColourB, 0.06},
    {kBlinkColourA, 0.07},
    {kBlinkColourB, 0.2},
    {kBlinkColourA, 0.07},
    {kBlinkColourB, 0.06},
    {kBlinkColourA, 0.05},
    {kBlinkColourB, 0.05},
    {kBlinkColourB, 0.0},
}};

namespace {

// One shake cycle per display frame, so the 101 cycles are seen (about 1.5 s) rather than over
// before the screen shows them.
constexpr double kShakeFrameSeconds = 0.015;
constexpr int kShakeCycles = 101;
constexpr int kShakeStep = 50; // twips; r is 0 to 49

} // namespace

void blink(Form2& notifier, const std::function<QString(int slot)>& colourText, const Wait& wait)
{
    for (const BlinkStep& step : kBlinkSequence) {
        if (app::isEnding())
            return;
        notifier.setPanelColour(colourText(step.colourSlot));
        if (step.wait > 0)
            wait(step.wait);
    }
}

void shake(Form2& notifier, const Wait& wait)
{
    const QPoint saved = notifier.pixelPosition();
    QRandomGenerator *random = QRandomGenerator::global();
    // Every move is a topmost one: after a shake the window stands above the others, whatever the
    // always-on-top switch says. That is intended. The state is set and the window raised once;
    // repeating them at each move would cost window-manager work and X events a hundred times over
    // for nothing to see.
    bool raised = false;
    const app::MoveEchoGuard quiet(&notifier);
    const auto moveTo = [&notifier, &raised](double x, double y) {
        if (!notifier.isTopmost())
            notifier.setTopmost(true);
        notifier.shakeToPixels(
            QPoint(int(std::lround(x / app::twipsPerPixelX())), int(std::lround(y / app::twipsPerPixelY()))));
        if (!raised)
            notifier.raise();
        raised = true;
    };
    for (int i = 0; i < kShakeCycles && !app::isEnding(); ++i) {
        double x = std::round(notifier.Left());
        double y = std::round(notifier.Top());
        // The four steps of a cycle fall within one display frame, where only the last of them
        // could ever be seen; each extra move costs X round trips and window-manager work.
        x += random->bounded(kShakeStep);
        y += random->bounded(kShakeStep);
        x -= random->bounded(kShakeStep);
        y -= random->bounded(kShakeStep);
        moveTo(x, y);
        wait(kShakeFrameSeconds);
    }
    // Back through Qt as well, so its idea of the place and the size hints agree with the window.
    notifier.shakeToPixels(saved);
    notifier.moveToPixels(saved);
}

} // namespace notifier
