#pragma once

#include "mail/store/MailStore.h"

namespace mf {

enum class RepairResult { InStep, Repaired, Failed };

// Brings the inbox's header and body files back in step after a crash cut
// an append short: a record without its separator at the end of either file
// is dropped, then records that one file has beyond the other's last one.
// Only trailing records can be out of step, as mail is only ever appended
// there; the receive journal stores the dropped mail again.
RepairResult RepairInboxPair(const MailStore& store);

}  // namespace mf
