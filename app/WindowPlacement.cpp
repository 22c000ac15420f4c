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
