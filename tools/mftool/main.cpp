#include <cstring>
#include <iostream>

#include "tools/mftool/Command.h"

#ifndef MFMAIL_VERSION
#define MFMAIL_VERSION "0"
#endif

namespace mf::tool {

int RunVersion(const Arguments&) {
  std::cout << "mftool " << MFMAIL_VERSION << "\n";
  return 0;
}

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: mftool COMMAND [ARGUMENTS]\n"
         "Works with MFMail's files and protocols from the command line.\n"
         "Text in and out is Shift_JIS, the program's own encoding, unless a command says otherwise.\n\n"
         "commands:\n";
  for (const auto& command : Commands()) out << "  " << command.usage << "\n";
}

}  // namespace
}  // namespace mf::tool

int main(int argc, char** argv) {
  using namespace mf::tool;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    PrintHelp(std::cout);
    return argc < 2 ? 2 : 0;
  }
  Arguments arguments(argv + 2, argv + argc);
  for (const auto& command : Commands()) {
    if (command.name == std::string(argv[1])) return command.run(arguments);
  }
  std::cerr << "mftool: unknown command '" << argv[1] << "'\n";
  PrintHelp(std::cerr);
  return 2;
}
