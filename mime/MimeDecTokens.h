#pragma once

#include <cstddef>
#include <string>

// Reads header names, first tokens and parameters from one header line.
namespace mf::mimedec {

class TokenReader {
 public:
  TokenReader(const char* text, std::size_t length) : p_(text), end_(text + length) {}

  // Skips blanks and line ends, then reads up to NUL, TAB, space, ":", ";"
  // or "=", lower-cased. The character that stopped it is consumed and is
  // the delimiter (NUL at the end of the line). After a blank delimiter the
  // following blanks go too, and one TAB, ":", ";" or "=" after them, yet
  // the delimiter stays the blank: "Subject : x" does not name a field.
  // With `takeComments`, text in parentheses joins the token without them.
  std::string Token(bool takeComments = false);

  // A quoted string as written (the delimiter is the character after its
  // closing quote), or else a token.
  std::string Value();

  // Whether the next value (after blanks) is a quoted string.
  bool AtQuote() const;

  // Everything left, as written.
  std::string Rest();

  // Skips blanks (the start of a field value after its colon).
  void SkipBlanks();

  char Delimiter() const { return delimiter_; }

 private:
  std::string Quoted();

  const char* p_;
  const char* end_;
  char delimiter_ = '\0';
};

}  // namespace mf::mimedec
