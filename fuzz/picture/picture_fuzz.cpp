#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "charedit/PictureLoader.h"

namespace {

constexpr int kSide = 46;

void Check(std::string_view bytes, mf::PictureFormat format) {
  auto corner = mf::DecodePictureCorner(bytes, format, kSide, kSide);
  if (!corner) return;
  // A picture that loads is never empty and never more than the corner asked for.
  if (corner->Empty() || corner->Width() > kSide || corner->Height() > kSide) std::abort();
}

}  // namespace

// Every input goes through both decoders: the user picks the decoder by the
// file's name, whatever its bytes are.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(bytes, mf::PictureFormat::WindowsBitmap);
  Check(bytes, mf::PictureFormat::Jpeg);
  return 0;
}
