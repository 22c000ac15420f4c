#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

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

namespace {

struct StoreCase {
    const char* name;
    const char* platform;
    WindowPosition window;
    WindowPosition read;
    WindowPosition expected;
};

class StoredPosition : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoredPosition, WaylandKeepsWhatWasReadElsewhereTheWindowsOwn) {
    const StoreCase& c = GetParam();
    const WindowPosition p = PositionToStore(c.platform, c.window, c.read);
    EXPECT_EQ(p.left, c.expected.left);
    EXPECT_EQ(p.top, c.expected.top);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredPosition,
    ::testing::Values(
        // Qt reports the frame's offset inside the surface on Wayland.
        StoreCase{"Wayland", "wayland", {-3, -30}, {200, 100}, {200, 100}},
        StoreCase{"WaylandEgl", "wayland-egl", {-3, -30}, {200, 100}, {200, 100}},
        StoreCase{"WaylandNoFile", "wayland", {-3, -30}, kLayoutPosition, {281, 138}},
        // A stored edge that start-up moved to 0 goes back as it was read.
        StoreCase{"WaylandStoredNegative", "wayland", {-3, -30}, {65528, 7}, {65528, 7}},
        StoreCase{"X11", "xcb", {-3, -30}, {200, 100}, {-3, -30}},
        StoreCase{"Offscreen", "offscreen", {640, 480}, {200, 100}, {640, 480}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
