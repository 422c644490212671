// Library-internal: whether a report channel writes its lines anywhere.
#pragma once

#include <cstdint>

#include "DustModelTypes.h"

namespace orv::dust::detail {

// Events, the preview and an HTML file write the report; any other output
// option writes nothing, so its lines need no text.
inline bool ChannelWrites(int32_t output_option) {
  return output_option == orvRaiseEvent || output_option == orvShowForm ||
         output_option == orvHTMLFile;
}

}  // namespace orv::dust::detail
