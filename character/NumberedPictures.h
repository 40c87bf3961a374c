#pragma once

#include <string>
#include <vector>

namespace mf {

// The files "image" + k + ".bmp" of `folder` for k from 1 to `highest`, as
// paths in the order of k. The folder is listed once instead of probed k by
// k, so a script that claims a huge picture count cannot stall the program.
// Only names written as the program writes them count (no sign, no
// leading zero, exact case), as a probe by name would find them.
std::vector<std::string> NumberedPictures(const std::string& folder, long long highest);

}  // namespace mf
