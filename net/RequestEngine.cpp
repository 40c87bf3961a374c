#include "net/RequestEngine.h"

#include <cctype>

namespace mf {

int ParseReplyNumber(const std::string& line, bool& continuation) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
  long value = 0;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
    if (value < 100000) value = value * 10 + (line[i] - '0');
    ++i;
  }
  continuation = i < line.size() && line[i] == '-';
  return static_cast<int>(negative ? -value : value);
}

}  // namespace mf
