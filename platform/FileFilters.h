#pragma once

#include <string>

namespace mf::platform {

// The extension a filter entry of the form "説明|*.a|説明|*.*" names, by
// the entry's position: "a" for "*.a"; empty for "*.*", for an entry of
// several patterns ("*.a;*.b") and for a position outside the filter.
std::string FilterExtension(const std::string& filter, int index);

// The path a save dialog reports: the extension the user typed wins; a
// name typed without one takes the chosen entry's extension, or else
// `defaultExtension` (without its dot; nothing when empty). "memo." counts
// as a name without an extension; a leading dot alone does not make one.
std::string WithChosenExtension(const std::string& path, const std::string& filter, int index,
                                const std::string& defaultExtension);

}  // namespace mf::platform
