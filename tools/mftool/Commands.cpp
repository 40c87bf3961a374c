#include "tools/mftool/Command.h"

namespace mf::tool {

int RunVersion(const Arguments& arguments);

// Subcommands of the other modules are declared here and listed below.

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "version                      print the program version", RunVersion},
  };
  return commands;
}

}  // namespace mf::tool
