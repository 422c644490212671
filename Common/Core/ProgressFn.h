// How long work tells whoever shows it (a bar on a terminal, lines in a
// log) how far it has got: a step text and `done` of `total`, in units of
// the step's choosing (rows, pages, bytes; total 0 when unknown). A step's
// last call says done == total. The work calls it now and then, not for
// every row, so that showing the progress costs the work nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace orv {

using ProgressFn = std::function<void(std::string_view step, int64_t done, int64_t total)>;

}  // namespace orv
