#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "mail/KeySort.h"
#include "mail/MailListEntry.h"

namespace mf {

// Rearranges `rows` (positions into `entries`) so that their texts run in
// the order CompareFoldingAscii gives, in either direction; rows with equal
// texts keep their order.
void SortRowsByText(std::span<std::size_t> rows, const std::vector<MailListEntry>& entries,
                    std::string MailListEntry::*text, SortDirection direction);

}  // namespace mf
