#include "text/Mailbox.h"

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

// A control byte is white space here: a pasted line end must never reach a
// header line or a command.
bool IsWhite(unsigned char c) { return c <= 0x20 || c == 0x7F; }

bool IsAtext(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+': case '-':
    case '/': case '=': case '?': case '^': case '_': case '`': case '{': case '|': case '}': case '~':
      return true;
    default:
      return c >= 0x80;
  }
}

// Bytes that end an atom. "." and "@" stand alone so that a phrase keeps
// "J. Doe" and an address loses the blanks of "a @ x".
bool IsDelimiter(unsigned char c) {
  switch (c) {
    case '"': case '(': case ')': case '<': case '>': case ',': case ':': case ';': case '@': case '.':
    case '\\': case '[': case ']':
      return true;
    default:
      return IsWhite(c);
  }
}

// The length of the character at `i`: two for a Shift_JIS pair. A lead byte
// before a byte no pair ends in is a byte of its own, so it cannot swallow
// the quote or bracket after it.
std::size_t CharLength(std::string_view text, std::size_t i) {
  return IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                 IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

struct Token {
  enum Kind { Atom, Quoted, Comment, Special } kind = Atom;
  std::string text;  // Quoted and Comment: the content, escapes resolved
  std::string raw;   // as written (a quoted local part keeps its quotes)
  bool spaceBefore = false;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  bool Next(Token& token) {
    token = Token{};
    while (pos_ < text_.size() && IsWhite(static_cast<unsigned char>(text_[pos_]))) {
      token.spaceBefore = true;
      ++pos_;
    }
    if (pos_ >= text_.size()) return false;
    const std::size_t start = pos_;
    const char c = text_[pos_];
    bool closed = true;
    if (c == '"') {
      token.kind = Token::Quoted;
      token.text = Enclosed('"', '"', closed);
    } else if (c == '(') {
      token.kind = Token::Comment;
      token.text = Enclosed('(', ')', closed);
    } else if (IsDelimiter(static_cast<unsigned char>(c))) {
      token.kind = Token::Special;
      token.text.assign(1, c);
      ++pos_;
    } else {
      while (pos_ < text_.size() && !IsDelimiter(static_cast<unsigned char>(text_[pos_]))) {
        pos_ += CharLength(text_, pos_);
      }
      token.text.assign(text_.substr(start, pos_ - start));
    }
    token.raw.assign(text_.substr(start, pos_ - start));
    for (char& b : token.raw) {
      if (IsWhite(static_cast<unsigned char>(b)) && b != ' ') b = ' ';
    }
    // A quoted local part left open is closed, so that the address written
    // back between brackets ends where it did.
    if (!closed && token.kind == Token::Quoted) token.raw = QuotedPhrase(token.text);
    return true;
  }

 private:
  // A quoted string or a (nested) comment from its opening byte; one left
  // open runs to the end of the text, and `closed` is false. Inner
  // parentheses of a comment stay.
  std::string Enclosed(char open, char close, bool& closed) {
    ++pos_;
    std::string content;
    int depth = 1;
    while (pos_ < text_.size()) {
      if (CharLength(text_, pos_) == 2) {
        content.append(text_.substr(pos_, 2));
        pos_ += 2;
        continue;
      }
      char c = text_[pos_++];
      if (c == '\\' && pos_ < text_.size()) {
        const std::size_t escaped = CharLength(text_, pos_);
        if (escaped == 2) {
          content.append(text_.substr(pos_, 2));
          pos_ += 2;
          continue;
        }
        c = text_[pos_++];
      } else if (c == close) {
        if (--depth == 0) return content;
      } else if (c == open) {
        ++depth;
      }
      content += IsWhite(static_cast<unsigned char>(c)) ? ' ' : c;
    }
    closed = false;
    return content;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// One item of a list as it is read.
struct Item {
  std::string phrase;  // words before "<", as a reader sees them
  std::string bare;    // the tokens as a bare address, when there are no brackets
  std::string angle;   // the address inside the brackets
  std::string comment;
  bool hasAngle = false;
  bool inAngle = false;
  bool afterAngle = false;
};

void AddWord(std::string& phrase, const std::string& word, bool spaceBefore) {
  if (spaceBefore && !phrase.empty()) phrase += ' ';
  phrase += word;
}

void AddAddressPiece(std::string& address, const std::string& piece, bool spaceBefore) {
  const bool glued = address.empty() || address.back() == '.' || address.back() == '@' || piece == "." ||
                     piece == "@";
  if (spaceBefore && !glued) address += ' ';
  address += piece;
}

// Decoded words may hold line ends of their own: a name stays one line. A
// lead byte with no second byte is shown as "?": quoted back, it would take
// the escaping backslash after it for its second byte.
std::string CleanName(std::string name) {
  DecodeHeaderWords(name);
  for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (IsWhite(c)) name[i] = ' ';
    if (IsSjisLeadByte(c) && CharLength(name, i) == 1) name[i] = '?';
  }
  return Trim(name);
}

class ListReader {
 public:
  std::vector<Mailbox> Read(std::string_view text) {
    Lexer lexer(text);
    Token token;
    while (lexer.Next(token)) Take(token);
    EndItem();
    FlushFragments();
    return std::move(result_);
  }

 private:
  void Take(const Token& token) {
    if (item_.inAngle) {
      if (token.kind == Token::Special && token.text == ">") {
        item_.inAngle = false;
        item_.afterAngle = true;
      } else if (token.kind == Token::Special && (token.text == ":" || token.text == "<")) {
        // An obsolete source route ends at ":"; a bracket left open before
        // another one opens is dropped with what it held.
        item_.angle.clear();
      } else if (token.kind != Token::Comment &&
                 !(token.kind == Token::Special && (token.text == "," || token.text == ";"))) {
        AddAddressPiece(item_.angle, token.raw, token.spaceBefore);
      }
      return;
    }
    if (token.kind == Token::Special) {
      const char c = token.text[0];
      if (c == ',' || c == ';') {
        EndItem();
        return;
      }
      if (c == ':' && !item_.hasAngle) {
        item_ = Item{};  // a group's name
        return;
      }
      if (c == '<') {
        item_.hasAngle = item_.inAngle = true;
        item_.angle.clear();
        return;
      }
      if (c == '>') return;  // a closing bracket with none open is a stray
    }
    if (token.kind == Token::Comment) {
      if (item_.comment.empty()) item_.comment = token.text;
      return;
    }
    if (item_.afterAngle) return;
    AddWord(item_.phrase, token.text, token.spaceBefore);
    AddAddressPiece(item_.bare, token.raw, token.spaceBefore);
  }

  void EndItem() {
    Item item = std::move(item_);
    item_ = Item{};
    if (item.hasAngle) {
      Mailbox mailbox{CleanName(item.phrase), Trim(item.angle)};
      if (!fragments_.empty()) {
        std::string joined;
        for (const Fragment& fragment : fragments_) joined += fragment.phrase + ", ";
        mailbox.name = CleanName(joined + item.phrase);
        fragments_.clear();
      }
      if (!mailbox.address.empty()) result_.push_back(std::move(mailbox));
      return;
    }
    std::string address = Trim(item.bare);
    if (address.empty()) return;
    if (address.find('@') == std::string::npos && item.comment.empty()) {
      fragments_.push_back({std::move(item.phrase), std::move(address)});
      return;
    }
    FlushFragments();
    result_.push_back({CleanName(item.comment), std::move(address)});
  }

  // Items that turned out to be no part of a name are addresses after all.
  void FlushFragments() {
    for (Fragment& fragment : fragments_) result_.push_back({std::string(), std::move(fragment.address)});
    fragments_.clear();
  }

  // An item without "@" or brackets: an address of its own, or the front
  // of the next item's name.
  struct Fragment {
    std::string phrase;
    std::string address;
  };

  Item item_;
  std::vector<Fragment> fragments_;
  std::vector<Mailbox> result_;
};

std::string JoinMailboxes(const std::vector<Mailbox>& mailboxes, bool quoted) {
  std::string text;
  for (const Mailbox& mailbox : mailboxes) {
    if (!text.empty()) text += ", ";
    if (quoted) {
      text += MailboxText(mailbox);
    } else {
      text += mailbox.name.empty() ? mailbox.address : mailbox.name + " <" + mailbox.address + ">";
    }
  }
  return text;
}

}  // namespace

std::vector<Mailbox> ReadMailboxList(std::string_view text) { return ListReader().Read(text); }

Mailbox ReadMailbox(std::string_view text) {
  std::vector<Mailbox> mailboxes = ReadMailboxList(text);
  return mailboxes.empty() ? Mailbox{} : std::move(mailboxes.front());
}

bool IsPlainPhrase(std::string_view name) {
  // Words are read back joined by single blanks: other blanks need quotes.
  if (name.starts_with(' ') || name.ends_with(' ') || name.find("  ") != std::string_view::npos) return false;
  for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c != ' ' && !IsAtext(c)) return false;
  }
  return true;
}

std::string QuotedPhrase(std::string_view name) {
  std::string quoted = "\"";
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = CharLength(name, i);
    if (length == 1 && (name[i] == '"' || name[i] == '\\')) quoted += '\\';
    quoted.append(name.substr(i, length));
    i += length;
  }
  quoted += '"';
  return quoted;
}

std::string MailboxText(const Mailbox& mailbox) {
  const std::string name = Trim(mailbox.name);
  if (name.empty()) return mailbox.address;
  return (IsPlainPhrase(name) ? name : QuotedPhrase(name)) + " <" + mailbox.address + ">";
}

std::string MailboxListText(std::string_view text) { return JoinMailboxes(ReadMailboxList(text), true); }

bool ShownMailboxesInto(std::string_view text, std::string& shown) {
  if (FindSjisChar(text, '"') == std::string_view::npos && FindSjisChar(text, '(') == std::string_view::npos &&
      FindSjisChar(text, '\\') == std::string_view::npos) {
    return false;
  }
  const std::vector<Mailbox> mailboxes = ReadMailboxList(text);
  if (mailboxes.empty()) return false;
  shown = JoinMailboxes(mailboxes, false);
  return true;
}

std::string ShownMailboxes(std::string_view text) {
  std::string shown;
  return ShownMailboxesInto(text, shown) ? shown : std::string(text);
}

}  // namespace mf
