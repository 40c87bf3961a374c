#include "mime/MimeDecTokens.h"

namespace mf::mimedec {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool EndsToken(char c) { return c == '\0' || c == '\t' || c == ' ' || c == ':' || c == ';' || c == '='; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string TokenReader::Token(bool takeComments) {
  while (p_ < end_ && IsSpace(*p_)) ++p_;
  std::string token;
  while (p_ < end_ && !EndsToken(*p_)) {
    if (takeComments && *p_ == '(') {
      int depth = 1;
      for (++p_; p_ < end_ && *p_ != '\0'; ++p_) {
        if (*p_ == '(') {
          ++depth;
          continue;
        }
        if (*p_ == ')' && --depth == 0) {
          ++p_;
          break;
        }
        token.push_back(LowerAscii(*p_));
      }
      continue;
    }
    token.push_back(LowerAscii(*p_));
    ++p_;
  }
  if (p_ >= end_ || *p_ == '\0') {
    // A NUL ends the line for every later token as well.
    delimiter_ = '\0';
    end_ = p_;
    return token;
  }
  delimiter_ = *p_++;
  if (IsBlank(delimiter_)) {
    while (p_ < end_ && IsSpace(*p_)) ++p_;
    if (p_ < end_ && (*p_ == '\t' || *p_ == ':' || *p_ == ';' || *p_ == '=')) ++p_;
  }
  return token;
}

bool TokenReader::AtQuote() const {
  const char* p = p_;
  while (p < end_ && IsSpace(*p)) ++p;
  return p < end_ && *p == '"';
}

std::string TokenReader::Value() {
  if (AtQuote()) return Quoted();
  return Token();
}

std::string TokenReader::Quoted() {
  while (p_ < end_ && IsSpace(*p_)) ++p_;
  ++p_;  // the opening quote
  const char* start = p_;
  while (p_ < end_ && *p_ != '"') ++p_;
  std::string value(start, static_cast<std::size_t>(p_ - start));
  if (p_ < end_) ++p_;  // the closing quote
  if (p_ < end_) {
    delimiter_ = *p_++;
  } else {
    delimiter_ = '\0';
  }
  return value;
}

std::string TokenReader::Rest() {
  std::string rest(p_, static_cast<std::size_t>(end_ - p_));
  p_ = end_;
  delimiter_ = '\0';
  return rest;
}

void TokenReader::SkipBlanks() {
  while (p_ < end_ && IsBlank(*p_)) ++p_;
}

}  // namespace mf::mimedec
