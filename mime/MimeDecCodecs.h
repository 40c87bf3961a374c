#pragma once

#include <cstddef>
#include <string>

// The transfer decodings of the MIME decoder, one body line at a time.
// Each works on a line without its line end; none reads past `length`.
namespace mf::mimedec {

// Quoted-printable into `out` (cleared first). A line that does not end in a
// soft break gets CR LF. Blanks after a final "=" are transport padding
// (RFC 2045 section 6.7) and do not spoil the soft break. A "=" that is not
// followed by hexadecimal digits stays as it is.
void DecodeQuotedPrintable(const char* line, std::size_t length, std::string& out);

// One uuencoded line into `out` (cleared first): the first character gives
// the byte count, each following group of four characters three bytes. Blanks
// stripped from the end of the line on the way count as zeros; a line far
// shorter than its count claims gives only what it holds.
void DecodeUuLine(const char* line, std::size_t length, std::string& out);

// What "begin MODE NAME" names: the text after the line's second space
// (empty when there is none).
std::string UuBeginFileName(const char* line, std::size_t length);

// The guard lines of hand-cut uuencoded blocks ("--- cut here ---") look like
// "begin"/"end" lines but are not.
bool IsCutHereLine(const char* line, std::size_t length);

bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix);

}  // namespace mf::mimedec
