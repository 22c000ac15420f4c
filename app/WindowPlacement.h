// Where a restored window may stand: plain arithmetic on screen rectangles,
// no widgets, so that it can be tested with any screen layout.
#pragma once

#include <string_view>

// The part of the main window, from its top-left corner, that must lie on
// the screen for the operator to see the window and drag it by its title.
inline constexpr int kVisibleCornerWidth = 100;
inline constexpr int kVisibleCornerHeight = 50;

// A rectangle of the desktop in screen pixels (for instance the area of a
// screen that panels and docks leave free).
struct ScreenArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowPosition {
    int left = 0;
    int top = 0;
};

// Where the main window's layout puts it when no settings say otherwise.
inline constexpr WindowPosition kLayoutPosition{281, 138};

// The window's top-left corner moved as little as possible so that its
// first kVisibleCornerWidth x kVisibleCornerHeight pixels lie inside `area`;
// a position that already satisfies this is returned unchanged. On an area
// smaller than that corner the window goes to the area's top-left corner.
WindowPosition KeepCornerOnScreen(WindowPosition position, const ScreenArea& area);

// The window's left and top edges that the close stores, given the name of
// the toolkit's platform ("xcb", "wayland", ...). A Wayland client is never
// told where its window stands (the toolkit reports the frame's offset inside
// the surface, about -3, -30, which would read back as 65533, 65506 and put
// the window at 0, 0 on the next X11 start), so there the close keeps
// `readAtStartUp`: the edges from the settings file, or kLayoutPosition when
// there was none. Everywhere else it stores the window's own position.
WindowPosition PositionToStore(std::string_view platformName, WindowPosition window,
                               WindowPosition readAtStartUp);
