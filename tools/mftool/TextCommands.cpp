#include <iostream>
#include <string>

#include "text/Jconvert.h"
#include "tools/mftool/Command.h"

namespace mf::tool {
namespace {

// Runs each line of standard input through `transform`, keeping its line end.
template <typename Transform>
void EachLine(Transform transform) {
  const std::string input = ReadStandardInput();
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    const bool lastLine = end == std::string::npos;
    if (lastLine) end = input.size();
    std::size_t contentEnd = end;
    if (contentEnd > start && input[contentEnd - 1] == '\r') --contentEnd;
    std::string line = input.substr(start, contentEnd - start);
    std::cout << transform(line);
    if (!lastLine) std::cout << input.substr(contentEnd, end + 1 - contentEnd);
    start = end + 1;
  }
  std::cout.flush();
}

}  // namespace

int RunJconv(const Arguments& arguments) {
  if (HasFlag(arguments, "--detect")) {
    const JapaneseCode code = DetectJapaneseCode(ReadStandardInput());
    std::cout << static_cast<int>(code) << " " << JapaneseCodeName(code) << "\n";
    return 0;
  }
  const std::string to = OptionValue(arguments, "--to");
  JapaneseCode target;
  if (to == "jis") target = jcJis;
  else if (to == "sjis") target = jcSjis;
  else if (to == "euc") target = jcEuc;
  else {
    std::cerr << "mftool jconv: give --to jis|sjis|euc or --detect\n";
    return 2;
  }
  std::cout << ConvertJapaneseCode(ReadStandardInput(), target);
  std::cout.flush();
  return 0;
}

int RunHeaderDecode(const Arguments&) {
  EachLine([](std::string line) {
    DecodeHeaderWords(line);
    return line;
  });
  return 0;
}

int RunHeaderEncode(const Arguments&) {
  EachLine([](const std::string& line) { return EncodeHeaderText(line, HeaderLocale::Japanese); });
  return 0;
}

}  // namespace mf::tool
