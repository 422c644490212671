#include "PositionRecord.h"

#include <algorithm>
#include <cmath>

namespace orv {

// The edges are measured from the area's own left and top, so an area that
// does not start at the screen's origin (a second monitor, a panel along the
// top) keeps windows on it rather than pulling them to the screen's origin.
PositionRecord KeepInsideArea(PositionRecord r, const PositionRecord& area) {
  const int64_t area_right = static_cast<int64_t>(area.left) + area.width;
  const int64_t area_bottom = static_cast<int64_t>(area.top) + area.height;
  if (area.width < r.width) {
    r.width = area.width;
    r.left = area.left;
  }
  if (area.height < r.height) {
    r.height = area.height;
    r.top = area.top;
  }
  if (r.left < area.left) r.left = area.left;
  if (r.top < area.top) r.top = area.top;
  if (static_cast<int64_t>(r.left) + r.width > area_right) r.left = area.left;
  if (static_cast<int64_t>(r.top) + r.height > area_bottom) r.top = area.top;
  return r;
}

PositionRecord GrowToMinimum(PositionRecord r, const PositionRecord& minimum,
                             const PositionRecord& area) {
  if (r.window_state != windowstate::kNormal) return r;
  r.width = std::max(r.width, minimum.width);
  r.height = std::max(r.height, minimum.height);
  const int64_t area_right = static_cast<int64_t>(area.left) + area.width;
  const int64_t area_bottom = static_cast<int64_t>(area.top) + area.height;
  if (static_cast<int64_t>(r.left) + r.width > area_right)
    r.left = static_cast<int32_t>(area_right - r.width);
  if (static_cast<int64_t>(r.top) + r.height > area_bottom)
    r.top = static_cast<int32_t>(area_bottom - r.height);
  return r;
}

void CentreOnArea(const PositionRecord& area, int32_t width, int32_t height, int32_t& left,
                  int32_t& top) {
  left = static_cast<int32_t>(std::lround(area.width / 2.0 - width / 2.0 + area.left));
  top = static_cast<int32_t>(std::lround(area.height / 2.0 - height / 2.0 + area.top));
}

}  // namespace orv
