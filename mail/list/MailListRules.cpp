#include "mail/list/MailListRules.h"

#include <cstddef>

#include "base/ShiftJis.h"
#include "text/Mailbox.h"

namespace mf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Where `name` starts a line of `text`, searching from `from`.
std::size_t FindField(std::string_view text, std::string_view name, std::size_t from = 0) {
  if (from == 0 && text.substr(0, name.size()) == name) return 0;
  const std::string needle = std::string(kCrLf) + std::string(name);
  const std::size_t at = text.find(needle, from);
  return at == std::string_view::npos ? at : at + kCrLf.size();
}

}  // namespace

MailCommands CommandsFor(FolderKind folder) {
  switch (folder) {
    case FolderKind::Inbox:
      return {.reply = true, .forward = true, .reEdit = false, .deleteMail = true, .joinAddressBook = true};
    case FolderKind::Trash:
      return {.reEdit = true};
    case FolderKind::Import:
      return {.reEdit = true, .deleteMail = true, .joinAddressBook = true};
    case FolderKind::Sent:
    case FolderKind::Outbox:
    case FolderKind::Kept:
      return {.reEdit = true, .deleteMail = true};
  }
  return {};
}

std::string SecondColumnCaption(FolderKind folder) {
  switch (folder) {
    case FolderKind::Inbox: return Sj("差出人");
    case FolderKind::Trash: return Sj("差出人/宛先");
    default: return Sj("宛先");
  }
}

HeaderMode NextHeaderMode(HeaderMode mode) {
  switch (mode) {
    case HeaderMode::TextOnly: return HeaderMode::MainFields;
    case HeaderMode::MainFields: return HeaderMode::Whole;
    case HeaderMode::Whole: return HeaderMode::TextOnly;
  }
  return HeaderMode::TextOnly;
}

std::vector<std::string> HeaderDisplay(std::string_view stored, HeaderMode mode) {
  const std::size_t blank = stored.find("\r\n\r\n");
  const std::string_view header = blank == std::string_view::npos ? stored : stored.substr(0, blank);
  const std::string_view text =
      blank == std::string_view::npos ? std::string_view() : stored.substr(blank + 4);
  switch (mode) {
    case HeaderMode::TextOnly:
      return {std::string(text)};
    case HeaderMode::Whole:
      return {std::string(stored)};
    case HeaderMode::MainFields: {
      std::vector<std::string> pieces;
      auto span = [&](std::string_view first, std::string_view until) {
        const std::size_t begin = FindField(header, first);
        if (begin == std::string_view::npos) return;
        std::size_t end = FindField(header, until, begin);
        end = end == std::string_view::npos ? header.size() : end - kCrLf.size();
        if (end > begin) pieces.emplace_back(header.substr(begin, end - begin));
      };
      span("Subject", "Content-Type");
      span("Date", "To");
      pieces.emplace_back(text);
      return pieces;
    }
  }
  return {};
}

SenderParts SplitSender(std::string_view line) {
  Mailbox sender = ReadMailbox(line);
  return {std::move(sender.name), std::move(sender.address)};
}

}  // namespace mf
