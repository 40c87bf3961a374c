#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The record formats of the mail files, as pure functions over file
// contents: the store, the fuzz target and the tools share them.
namespace mf {

// Ends every header and body record; 0x01 never occurs in Shift_JIS text.
inline constexpr std::string_view kSeparatorLine = "\x01\x01";

// One mail of a header file: seven lines with the separator.
struct HeaderRecord {
  std::string status;            // line 1, a status word
  std::string subject;           // line 2
  std::string from;              // line 3: the sender (inbox) or the user's own address
  std::string date;              // line 4, as stored
  std::string to;                // line 5
  std::string attachmentFolder;  // line 6, empty without stored attachments
  bool operator==(const HeaderRecord&) const = default;
};

// A line of a body record's header block. `name` is written as given
// ("Subject: ", or "Reply-To:" whose raw value keeps its own blank); an
// empty name marks a received header line kept whole.
struct HeaderField {
  std::string name;
  std::string value;
};

struct BodyRecord {
  std::vector<HeaderField> fields;
  std::string text;  // the mail text; its lines may end in CR LF, LF or CR
};

// A value made fit for one line of a record: CR, LF and 0x01 become blanks,
// so a decoded subject can neither split its record nor end it.
std::string SingleLine(std::string_view value);

// True for a received header line that the store's readers would take for
// one of its own lines (an attachment to delete, the carrying character).
bool IsStoreOwnLine(std::string_view line);

// Lines of the store's files end at LF; a CR before the LF belongs to the
// line end (the files are written with CR LF), any other CR is a byte of
// its line. Every reader splits lines this way, so they agree on where
// records begin and end.
//
// Every line of `file` followed by CR LF (a last line without a line end
// gets one); the identity for text already in that form.
std::string NormalizeLineEnds(std::string_view file);

// A mail text as stored: CR LF, LF and a lone CR all end a line, and every
// line is followed by CR LF.
std::string TextWithCrLf(std::string_view text);

// The bytes of a record, separator line included.
std::string FormatHeaderRecord(const HeaderRecord& record);
std::string FormatBodyRecord(const BodyRecord& record);

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

// Header records of a whole header file, in file order. Missing lines read
// as empty, lines beyond the sixth are ignored.
std::vector<HeaderRecord> ParseHeaderRecords(std::string_view file);
HeaderRecord ParseHeaderRecord(std::string_view recordBytes);

// The byte offset at which header record i starts, found by counting pairs
// of 0x01 bytes from the start; nothing when the file has fewer records.
std::optional<std::size_t> FindHeaderRecordByBytes(std::string_view file, std::size_t index);

// Line 3 of header record i, found by bytes, without a trailing CR.
std::optional<std::string> SenderAt(std::string_view file, std::size_t index);

// The text of body record i: its lines joined with CR LF, leading and
// trailing blanks and line ends removed; empty when there is no record i.
std::string BodyRecordText(std::string_view file, std::size_t index);

// The paths on the "X-Attachments-File: " lines of a record's header block
// (before its first empty line); lines of the mail text never count.
std::vector<std::string> AttachmentFilesOf(std::string_view recordText);

}  // namespace mf
