#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mf {

// Base64 with the standard alphabet and "=" padding, no line breaks: for
// encoded header words, SMTP authentication and attachment parts.
void AppendBase64(std::string& out, std::string_view bytes);
std::string Base64Encode(std::string_view bytes);

// The one Base64 decoder, for body lines, header words and SMTP challenges.
// Leading blanks are skipped and decoding stops at the first blank after the
// data. Characters outside the alphabet (line breaks among them) are
// ignored; "=" pads a group, and a group cut short still gives the bytes its
// characters hold. In place: returns the number of bytes left at `text`.
std::size_t Base64DecodeInPlace(char* text, std::size_t length);
std::string Base64Decode(std::string_view text);

}  // namespace mf
