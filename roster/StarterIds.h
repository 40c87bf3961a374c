#pragma once

#include <functional>
#include <string>

namespace mf {

// The starter characters come with every copy of the program under the
// same ids, and an id names one character wherever it travels: a visiting
// character with the id of one of the user's own would be taken for it (it
// would present its mail, and the user's own would leave with the answer).
// Each program folder therefore gives its starters ids of their own before
// it first lists them.

// Whether `id` is one the starter characters ship with.
bool IsStarterId(const std::string& id);

// Gives every starter character of `programFolder` (ending in a separator)
// a fresh id from `makeId`: line 0 of its scene.txt, and the same line in
// visibleDB.dat, outDB.dat and resurrDB.dat. A package made under the
// shipped id is deleted (it is made again when a mail needs it). Returns
// how many characters took a new id.
int GiveStartersOwnIds(const std::string& programFolder, const std::function<std::string()>& makeId);

}  // namespace mf
