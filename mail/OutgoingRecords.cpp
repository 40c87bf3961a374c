#include "mail/OutgoingRecords.h"

namespace mf {

OutgoingRecords::OutgoingRecords(const MailStore& store, const Clock& clock, RandomGenerator& random)
    : store_(store), clock_(clock), random_(random) {}

// FIXME: written in the next commit.
bool OutgoingRecords::File(OutgoingFolder, const Composition&, const std::string&, const std::string&,
                           std::string& error) const {
  error = "not yet";
  return false;
}

}  // namespace mf
