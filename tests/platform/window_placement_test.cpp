// Where a window comes back: whole on the screen, never smaller than its minimum.

#include <gtest/gtest.h>

#include <platform/window_placement.h>

namespace {

using platform::fitOnScreen;

TEST(WindowPlacement, ComesBackWholeOnTheScreenAndNeverBelowItsMinimum) {
    const QRect screen(0, 0, 800, 600);
    const QSize minimum(351, 377);
    EXPECT_EQ(fitOnScreen({100, 50, 400, 380}, minimum, screen), QRect(100, 50, 400, 380));
    EXPECT_EQ(fitOnScreen({100, 50, 400, 300}, minimum, screen), QRect(100, 50, 400, 377));
    EXPECT_EQ(fitOnScreen({-50, 900, 400, 400}, minimum, screen), QRect(0, 200, 400, 400));
    EXPECT_EQ(fitOnScreen({10, 10, 2000, 2000}, minimum, screen), screen);
    // A second screen to the left, now gone: the window is pulled onto this one.
    EXPECT_EQ(fitOnScreen({-1500, 40, 500, 400}, minimum, screen), QRect(0, 40, 500, 400));
    // A screen smaller than the minimum: the minimum, from the top left corner.
    EXPECT_EQ(fitOnScreen({50, 50, 100, 100}, minimum, QRect(0, 0, 300, 300)),
              QRect(0, 0, 351, 377));
}

}  // namespace
