#include "app/WindowPlacement.h"

#include <algorithm>

namespace {

// `value` moved into [low, high]; `low` wins when the range is empty.
int keepWithin(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

} // namespace

WindowPosition KeepCornerOnScreen(WindowPosition position, const ScreenArea& area) {
    return {keepWithin(position.left, area.left, area.left + area.width - kVisibleCornerWidth),
            keepWithin(position.top, area.top, area.top + area.height - kVisibleCornerHeight)};
}

WindowPosition PositionToStore(std::string_view platformName, WindowPosition window,
                               WindowPosition readAtStartUp) {
    // "wayland", "wayland-egl", "wayland-xcomposite-egl": Qt's Wayland platforms.
    const bool positionUnknown = platformName.starts_with("wayland");
    return positionUnknown ? readAtStartUp : window;
}
