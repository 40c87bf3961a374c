#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <type_traits>
#include <utility>

namespace mf {

// A link between windows that the program never made is a wiring fault: a
// debug build stops on it by name; a release build does nothing, as an
// unlinked command always did.
inline void LinkNeverMade(const char* name) {
#ifndef NDEBUG
  std::fprintf(stderr, "link never made: %s\n", name);
  std::abort();
#else
  (void)name;
#endif
}

// Calls a link hook; one never made gives a default value.
template <typename R, typename... Params, typename... Args>
R CallLink(const std::function<R(Params...)>& hook, const char* name, Args&&... args) {
  if (!hook) {
    LinkNeverMade(name);
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return R{};
    }
  }
  return hook(std::forward<Args>(args)...);
}

}  // namespace mf
