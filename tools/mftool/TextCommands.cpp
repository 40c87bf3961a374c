#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "text/Jconvert.h"
#include "text/JapaneseStream.h"
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

// Large enough that each block costs one read, one conversion and one write;
// small enough that memory stays flat however large the input.
constexpr std::size_t kJconvBlockBytes = 1 << 20;

bool WriteAll(const std::string& bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// Converts standard input to standard output block by block, so that a
// large file never sits in memory whole.
int StreamJconv(JapaneseCode target) {
  JapaneseCodeStream stream(target);
  std::vector<char> block(kJconvBlockBytes);
  bool written = true;
  while (written) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), stdin);
    if (got == 0) break;
    written = WriteAll(stream.Put(std::string_view(block.data(), got)));
  }
  if (std::ferror(stdin)) {
    std::cerr << "mftool jconv: cannot read standard input\n";
    return 1;
  }
  if (!written || !WriteAll(stream.Finish()) || std::fflush(stdout) != 0) {
    std::cerr << "mftool jconv: cannot write standard output\n";
    return 1;
  }
  return 0;
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
  return StreamJconv(target);
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
