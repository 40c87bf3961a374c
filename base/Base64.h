#pragma once

#include <string>
#include <string_view>

namespace mf {

// Base64 with the standard alphabet and "=" padding, no line breaks: for
// encoded header words, SMTP authentication and attachment parts.
void AppendBase64(std::string& out, std::string_view bytes);
std::string Base64Encode(std::string_view bytes);

}  // namespace mf
