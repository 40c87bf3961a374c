#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Records.h"

// The record formats of the mail files, as pure functions over file
// contents: the store, the fuzz target and the tools share them. The files'
// lines and records are read as every record file is (base/Records.h).
namespace mf {

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

// True for a received header line that the store's readers would take for
// one of its own lines (an attachment to delete, the carrying character).
bool IsStoreOwnLine(std::string_view line);

// A mail text as stored: CR LF, LF and a lone CR all end a line, and every
// line is followed by CR LF.
std::string TextWithCrLf(std::string_view text);
void AppendTextWithCrLf(std::string& out, std::string_view text);

// The bytes of a record, separator line included.
std::string FormatHeaderRecord(const HeaderRecord& record);
std::string FormatBodyRecord(const BodyRecord& record);
// The same bytes added to `out`, the text given apart (a long mail's text
// is not copied into a record first).
void AppendBodyRecordBytes(std::string& out, const std::vector<HeaderField>& fields, std::string_view text);

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
