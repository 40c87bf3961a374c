#include "tools/mftool/Command.h"

#include <iostream>
#include <iterator>

namespace mf::tool {

std::string OptionValue(const Arguments& arguments, const std::string& flag) {
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == flag) return arguments[i + 1];
  }
  return {};
}

std::vector<std::string> OptionValues(const Arguments& arguments, const std::string& flag) {
  std::vector<std::string> values;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == flag) values.push_back(arguments[i + 1]);
  }
  return values;
}

bool HasFlag(const Arguments& arguments, const std::string& flag) {
  for (const auto& argument : arguments) {
    if (argument == flag) return true;
  }
  return false;
}

std::string ReadStandardInput() {
  std::ios::sync_with_stdio(false);
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

}  // namespace mf::tool
