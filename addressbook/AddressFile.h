#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// The pictures an entry can show, numbered 0 to 10.
inline constexpr int kAddressIconCount = 11;

// One contact: five lines of "address.txt" (name, address, contact, icon
// number, separator line).
struct AddressRecord {
  std::string name;
  std::string address;
  std::string contact;  // free text
  int icon = 0;
  bool operator==(const AddressRecord&) const = default;
};

// A new entry for the sender of a received mail (line 3 of its header
// record): the display name as a reader sees it (unquoted, comments
// dropped, empty for a bare address) and the bare address.
AddressRecord SenderEntry(std::string_view sender);

// The record's lines, separator line included. Fields are made single
// lines, so a pasted line break can never shift the records after it.
std::string FormatAddressRecord(const AddressRecord& record);

// Every record of a file's bytes, oldest first (record index = position).
// An icon line that is not a number from 0 to 10 reads as icon 0; missing
// lines read as empty.
std::vector<AddressRecord> ParseAddressFile(std::string_view file);

// What the entry dialog refuses in `record`: an address that is not one
// (the settings' address rule) or none at all; the text (Shift_JIS) goes
// beside the field.
std::optional<std::string> AddressEntryProblem(const AddressRecord& record);

// The first record with `address`, blanks around it and the case of ASCII
// letters aside (as people write the same address); nothing for an empty one.
std::optional<std::size_t> FindAddress(const std::vector<AddressRecord>& records, std::string_view address);

// The address file "FileKeep/address.txt" of a program folder. Every
// operation reads the file and rewrites it whole through an atomic replace,
// so a failure leaves the file as it was.
class AddressFile {
 public:
  // `programFolder` with its trailing separator.
  explicit AddressFile(std::string programFolder);

  const std::string& Path() const { return path_; }

  // Oldest first; a missing file is an empty book.
  std::vector<AddressRecord> Load() const;
  std::optional<AddressRecord> ReadRecord(std::size_t index) const;

  // Appends at the end, creating "FileKeep" and the file when missing.
  bool Append(const AddressRecord& record) const;
  // Replaces record `index`; false, changing nothing, when there is none.
  bool Rewrite(std::size_t index, const AddressRecord& record) const;
  // Removes the records (any order, duplicates ignored); indexes beyond the
  // file are skipped. False when the file could not be written.
  bool Delete(std::vector<std::size_t> indices) const;

 private:
  std::optional<std::string> ReadBytes() const;

  std::string storeFolder_;
  std::string path_;
};

}  // namespace mf
