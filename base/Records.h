#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Files of records, as the mail store and the address book keep them: lines
// of Shift_JIS text, each record ended by a separator line. Pure functions
// over file contents.
namespace mf {

// Ends every record; 0x01 never occurs in Shift_JIS text.
inline constexpr std::string_view kSeparatorLine = "\x01\x01";

// A value made fit for one line of a record: CR, LF and 0x01 become blanks,
// so a decoded subject can neither split its record nor end it.
std::string SingleLine(std::string_view value);

// Lines of record files end at LF; a CR before the LF belongs to the line
// end (the files are written with CR LF), any other CR is a byte of its
// line. Every reader splits lines this way, so they agree on where records
// begin and end.
struct RecordLine {
  std::string_view content;  // without the line end
  std::size_t next;          // where the next line begins
};
// The line of `text` that begins at `pos`.
RecordLine RecordLineAt(std::string_view text, std::size_t pos);

// Every line of `file` followed by CR LF (a last line without a line end
// gets one); the identity for text already in that form.
std::string NormalizeLineEnds(std::string_view file);

// Where record i of a file lies. `contentEnd` is the start of its separator
// line and `end` the first byte after that line's line end. A last record
// without a separator line reaches to the end of the file (`terminated`
// false); it counts only when it holds more than line ends.
struct RecordSpan {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;
  std::size_t end = 0;
  bool terminated = false;
};

// The record after the one ending at `from`, or nothing at the end.
std::optional<RecordSpan> NextRecord(std::string_view file, std::size_t from);
std::vector<RecordSpan> RecordSpans(std::string_view file);
std::optional<RecordSpan> RecordAt(std::string_view file, std::size_t index);

}  // namespace mf
