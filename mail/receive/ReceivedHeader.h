#pragma once

#include <string_view>

#include "mail/store/StoredMail.h"

namespace mf {

// Takes one header line of a received message (folds joined) into the
// values the inbox keeps: the listed fields by name in any letter case, in
// the order of the inbox's table, everything else into the other lines.
// From, To and Subject are decoded to Shift_JIS; every value is made a
// single line, so that nothing a sender writes can split or end a record.
void TakeReceivedHeaderLine(std::string_view line, ReceivedMail& mail);

}  // namespace mf
