#pragma once

#include <cstdint>
#include <vector>

namespace mf {

// A colour as 0x00RRGGBB. Pictures compare colours exactly, so the top byte
// is always zero.
using Colour = std::uint32_t;

constexpr Colour MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return (Colour{red} << 16) | (Colour{green} << 8) | Colour{blue};
}
constexpr std::uint8_t RedOf(Colour colour) { return static_cast<std::uint8_t>(colour >> 16); }
constexpr std::uint8_t GreenOf(Colour colour) { return static_cast<std::uint8_t>(colour >> 8); }
constexpr std::uint8_t BlueOf(Colour colour) { return static_cast<std::uint8_t>(colour); }

// The Windows form 0x00BBGGRR, in which colour settings are kept.
constexpr Colour ColourFromColorRef(std::uint32_t colorRef) {
  return MakeColour(static_cast<std::uint8_t>(colorRef), static_cast<std::uint8_t>(colorRef >> 8),
                    static_cast<std::uint8_t>(colorRef >> 16));
}
constexpr std::uint32_t ColorRefFromColour(Colour colour) {
  return (std::uint32_t{BlueOf(colour)} << 16) | (std::uint32_t{GreenOf(colour)} << 8) |
         RedOf(colour);
}

// A plain picture: rows from the top, pixels from the left.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, Colour fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }

  // (x, y) must lie inside the picture.
  Colour At(int x, int y) const { return pixels_[Index(x, y)]; }
  void Set(int x, int y, Colour colour) { pixels_[Index(x, y)] = colour & 0xFFFFFFu; }

  const std::vector<Colour>& Pixels() const { return pixels_; }

  friend bool operator==(const Bitmap&, const Bitmap&) = default;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<Colour> pixels_;
};

// The picture flipped left to right: pixel (x, y) comes from (width - 1 - x, y).
Bitmap MirrorLeftRight(const Bitmap& picture);

}  // namespace mf
