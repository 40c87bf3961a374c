#pragma once

#include <string>
#include <vector>

namespace mf::tool {

using Arguments = std::vector<std::string>;

// One subcommand of mftool: its name, a usage line for --help, and the
// function that runs it with the arguments after the name. Returns the exit code.
struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Arguments& arguments);
};

// Every subcommand, in the order --help lists them.
const std::vector<Command>& Commands();

// The value after `--flag` in the arguments, or empty; and whether a flag is present.
std::string OptionValue(const Arguments& arguments, const std::string& flag);
std::vector<std::string> OptionValues(const Arguments& arguments, const std::string& flag);
bool HasFlag(const Arguments& arguments, const std::string& flag);

// Reads all of standard input as bytes.
std::string ReadStandardInput();

}  // namespace mf::tool
