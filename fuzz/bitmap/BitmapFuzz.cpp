#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "character/BitmapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto picture = mf::DecodeBitmapFile(bytes);
  if (!picture) return 0;
  // Whatever was read must survive our own writer unchanged.
  auto again = mf::DecodeBitmapFile(mf::EncodeBitmapFile(*picture));
  if (!again || !(*again == *picture)) std::abort();
  return 0;
}
