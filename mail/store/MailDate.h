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
// Line 4 without its leading and trailing blanks, as a view into it.
std::string_view TrimmedDateView(std::string_view line4);

// The date and time of line 4 for sorting: the column text without a
// leading day name, read as "d mmm yyyy hh:mm[:ss]" (a trailing zone name
// is ignored) or "yyyy/mm/dd [hh:mm[:ss]]". Nothing when it does not read
// as a real date.
std::optional<DateTime> ParseMailDate(std::string_view line4);

// The sort date as a day count; 0 (the list's "no date") when line 4 does
// not read as a date.
double SortDateOf(std::string_view line4);

// The zone line 4 names, in minutes east of UTC: a numeric zone ("+0900",
// "-0500"; "-0000" is UTC with the sender's zone unknown), a name RFC 5322
// section 4.3 knows (UT, GMT, Z, EST ... PDT) or "JST"; a comment at the end
// ("(JST)") is passed over. Nothing when line 4 names no zone.
std::optional<int> MailDateZone(std::string_view line4);

// The moment a date stands for, in seconds since 1970-01-01 00:00 UTC, its
// fields read in a zone `offsetMinutes` east of UTC.
long long MomentOf(const DateTime& time, int offsetMinutes);

// How far this computer's local time is ahead of UTC now, in minutes.
int LocalUtcOffsetMinutes();

// The date column's text for line 4: the moment in this computer's local
// time as "yyyy/mm/dd hh:mm" (a date without a zone is shown as written);
// line 4 itself when it does not read as a date.
std::string ListDateText(std::string_view line4);

}  // namespace mf
