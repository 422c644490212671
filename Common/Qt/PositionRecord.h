// A window's position record and the rules that keep it on the usable area.
// All values in twips.
#pragma once

#include <cstdint>

namespace orv {

struct PositionRecord {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t window_state = 0;  // 0 normal, 1 minimised, 2 maximised

  bool operator==(const PositionRecord&) const = default;
};

namespace windowstate {
inline constexpr int32_t kNormal = 0;
inline constexpr int32_t kMinimised = 1;
inline constexpr int32_t kMaximised = 2;
}  // namespace windowstate

// Keeps a record inside the usable area: a record wider (higher) than the
// area takes the area's width (height) and left (top) edge; a record that
// starts before the area's edge starts on it; one that runs past the area's
// right (bottom) edge moves to the area's left (top) edge.
PositionRecord KeepInsideArea(PositionRecord r, const PositionRecord& area);

// Grows a normal window to the minimum width and height and pulls it back
// inside the area's right and bottom edges; other window states are left
// alone.
PositionRecord GrowToMinimum(PositionRecord r, const PositionRecord& minimum,
                             const PositionRecord& area);

// The left and top that centre a width by height box on the area.
void CentreOnArea(const PositionRecord& area, int32_t width, int32_t height, int32_t& left,
                  int32_t& top);

}  // namespace orv
