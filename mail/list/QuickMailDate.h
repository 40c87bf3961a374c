#pragma once

#include <optional>
#include <string_view>

#include "base/DateTime.h"

namespace mf {

// ParseMailDate's answer for every text, reached without its general reader
// for the form this program and most mailers write
// ("Fri, 3 Jan 2003 09:00:00 +0900"); any other text takes the general way.
// Sorting a folder reads one date per mail, so the common form counts.
std::optional<DateTime> ParseMailDateQuickly(std::string_view line4);

}  // namespace mf
