#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/DateTime.h"

namespace mf {

// Line 4 of a received mail as the date column shows it: trimmed, cut at
// the first "+" and then at the first "-" (the zone), trimmed again.
std::string DateColumnText(std::string_view line4);
// The same text as a view into line 4.
std::string_view DateColumnView(std::string_view line4);

// The date and time of line 4 for sorting: the column text without a
// leading day name, read as "d mmm yyyy hh:mm[:ss]" (a trailing zone name
// is ignored) or "yyyy/mm/dd [hh:mm[:ss]]". Nothing when it does not read
// as a real date.
std::optional<DateTime> ParseMailDate(std::string_view line4);

// The sort date as a day count; 0 (the list's "no date") when line 4 does
// not read as a date.
double SortDateOf(std::string_view line4);

}  // namespace mf
