#include "app/WindowPlacement.h"

#include <gtest/gtest.h>
#include <utility>

namespace {

struct PlacementCase {
    const char* name;
    WindowPosition stored;
    ScreenArea area;
    WindowPosition expected;
};

class KeepCorner : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(KeepCorner, TheTopLeftCornerEndsInsideTheArea) {
    const PlacementCase& c = GetParam();
    const WindowPosition p = KeepCornerOnScreen(c.stored, c.area);
    EXPECT_EQ(p.left, c.expected.left);
    EXPECT_EQ(p.top, c.expected.top);
}

constexpr ScreenArea kXga{0, 0, 1024, 768};

INSTANTIATE_TEST_SUITE_P(
    Table, KeepCorner,
    ::testing::Values(PlacementCase{"Inside", {281, 138}, kXga, {281, 138}},
                      // The largest position the stored edges allow, on a 1024 x 768 display.
                      PlacementCase{"StoredMaximumOffXga", {1000, 1000}, kXga, {924, 718}},
                      PlacementCase{"CornerJustFits", {924, 718}, kXga, {924, 718}},
                      PlacementCase{"OnePixelOver", {925, 719}, kXga, {924, 718}},
                      // A panel along the top and a second screen to the right of the first.
                      PlacementCase{"BelowATopPanel", {10, 0}, {0, 24, 1024, 744}, {10, 24}},
                      PlacementCase{"SecondScreen", {500, 900}, {1024, 0, 1280, 1024}, {1024, 900}},
                      PlacementCase{"AreaSmallerThanTheCorner", {40, 40}, {0, 0, 80, 40}, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// A Wayland client learns only its frame's offset inside the surface (about
// -3, -30): the close keeps what start-up read, or the layout's place.
TEST(PositionToStore, WaylandKeepsWhatWasReadElsewhereTheWindowsOwn) {
    const auto stored = [](const char* platform, WindowPosition read) {
        const WindowPosition p = PositionToStore(platform, {-3, -30}, read);
        return std::pair(p.left, p.top);
    };
    EXPECT_EQ(stored("wayland", {65528, 7}), std::pair(65528, 7));
    EXPECT_EQ(stored("wayland-egl", kLayoutPosition), std::pair(281, 138));
    EXPECT_EQ(stored("xcb", {200, 100}), std::pair(-3, -30));
}
