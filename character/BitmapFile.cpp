#include "character/BitmapFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "platform/Files.h"

namespace mf {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

std::uint32_t Read16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// One colour channel described by a bit mask, scaled to eight bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t maximum = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    maximum = mask >> shift;
    // A mask with holes is not a channel; treat it as absent.
    if ((maximum & (maximum + 1)) != 0) mask = maximum = 0;
  }
  std::uint8_t Extract(std::uint32_t pixel) const {
    if (maximum == 0) return 0;
    std::uint64_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
  }
};

struct Header {
  long long width = 0;
  long long height = 0;  // positive: rows stored bottom-up
  std::uint32_t bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t coloursUsed = 0;
  std::size_t paletteAt = 0;
  std::size_t paletteEntrySize = 4;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
};

// Where the row of stored index `row` goes in a top-down picture.
int TargetRow(const Header& header, int row, int height) {
  return header.height > 0 ? height - 1 - row : row;
}

std::optional<Header> ReadHeader(std::string_view bytes) {
  if (bytes.size() < kFileHeaderSize + kCoreHeaderSize) return std::nullopt;
  if (bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  std::uint32_t headerSize = Read32(bytes, kFileHeaderSize);
  Header header;
  std::size_t at = kFileHeaderSize;
  if (headerSize == kCoreHeaderSize) {
    header.width = Read16(bytes, at + 4);
    header.height = Read16(bytes, at + 6);
    header.bitCount = Read16(bytes, at + 10);
    header.paletteEntrySize = 3;
  } else if (headerSize >= 16 && headerSize <= 4096) {
    if (bytes.size() < at + headerSize) return std::nullopt;
    header.width = static_cast<std::int32_t>(Read32(bytes, at + 4));
    header.height = static_cast<std::int32_t>(Read32(bytes, at + 8));
    header.bitCount = Read16(bytes, at + 14);
    if (headerSize >= 20) header.compression = Read32(bytes, at + 16);
    if (headerSize >= 36) header.coloursUsed = Read32(bytes, at + 32);
    if (header.compression == kBitFields) {
      std::size_t masksAt = at + headerSize;
      if (headerSize >= 52) {
        masksAt = at + kInfoHeaderSize;  // the newer headers carry their masks inside
      } else if (headerSize != kInfoHeaderSize) {
        return std::nullopt;
      }
      if (bytes.size() < masksAt + 12) return std::nullopt;
      for (std::size_t i = 0; i < 3; ++i) header.masks[i] = Read32(bytes, masksAt + 4 * i);
      if (headerSize == kInfoHeaderSize) headerSize += 12;
    }
  } else {
    return std::nullopt;
  }
  header.paletteAt = at + headerSize;
  if (header.width <= 0 || header.height == 0) return std::nullopt;
  long long rows = header.height < 0 ? -header.height : header.height;
  if (header.width > kMostBitmapSide || rows > kMostBitmapSide) return std::nullopt;
  if (header.width * rows > kMostBitmapPixels) return std::nullopt;

  switch (header.bitCount) {
    case 1: case 4: case 8:
      if (header.compression == kRle8 && header.bitCount != 8) return std::nullopt;
      if (header.compression == kRle4 && header.bitCount != 4) return std::nullopt;
      if (header.compression != kRgb && header.compression != kRle8 && header.compression != kRle4) {
        return std::nullopt;
      }
      break;
    case 16: case 32:
      if (header.compression == kRgb) {
        header.masks = header.bitCount == 16
                           ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                           : std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
      } else if (header.compression != kBitFields) {
        return std::nullopt;
      }
      break;
    case 24:
      if (header.compression != kRgb) return std::nullopt;
      break;
    default:
      return std::nullopt;
  }
  // Run-length pictures are bottom-up by definition.
  if ((header.compression == kRle8 || header.compression == kRle4) && header.height < 0) {
    return std::nullopt;
  }
  return header;
}

std::optional<std::vector<Colour>> ReadPalette(std::string_view bytes, const Header& header,
                                               std::size_t pixelsAt) {
  std::vector<Colour> palette;
  if (header.bitCount > 8) return palette;
  std::size_t count = std::size_t{1} << header.bitCount;
  if (header.coloursUsed != 0 && header.coloursUsed < count) count = header.coloursUsed;
  // Some writers leave less room than they announce; take what is there.
  std::size_t room = pixelsAt > header.paletteAt ? pixelsAt - header.paletteAt : 0;
  if (room / header.paletteEntrySize < count) count = room / header.paletteEntrySize;
  if (count == 0) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = header.paletteAt + i * header.paletteEntrySize;
    auto blue = static_cast<std::uint8_t>(bytes[at]);
    auto green = static_cast<std::uint8_t>(bytes[at + 1]);
    auto red = static_cast<std::uint8_t>(bytes[at + 2]);
    palette.push_back(MakeColour(red, green, blue));
  }
  return palette;
}

Colour PaletteColour(const std::vector<Colour>& palette, std::uint32_t index) {
  return index < palette.size() ? palette[index] : 0;
}

std::optional<Bitmap> DecodeUncompressed(std::string_view bytes, const Header& header,
                                         std::size_t pixelsAt, const std::vector<Colour>& palette) {
  int width = static_cast<int>(header.width);
  int height = static_cast<int>(header.height < 0 ? -header.height : header.height);
  std::size_t rowBits = static_cast<std::size_t>(width) * header.bitCount;
  std::size_t stride = (rowBits + 31) / 32 * 4;
  // The last row may lack its padding in files from careless writers.
  std::size_t needed = stride * static_cast<std::size_t>(height - 1) + (rowBits + 7) / 8;
  if (pixelsAt > bytes.size() || bytes.size() - pixelsAt < needed) return std::nullopt;

  Channel red(header.masks[0]), green(header.masks[1]), blue(header.masks[2]);
  Bitmap picture(width, height);
  for (int row = 0; row < height; ++row) {
    const auto* line =
        reinterpret_cast<const unsigned char*>(bytes.data() + pixelsAt + stride * static_cast<std::size_t>(row));
    int y = TargetRow(header, row, height);
    for (int x = 0; x < width; ++x) {
      Colour colour = 0;
      switch (header.bitCount) {
        case 1: colour = PaletteColour(palette, (line[x / 8] >> (7 - x % 8)) & 1); break;
        case 4: colour = PaletteColour(palette, (line[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F); break;
        case 8: colour = PaletteColour(palette, line[x]); break;
        case 24: {
          const unsigned char* p = line + 3 * x;
          colour = MakeColour(p[2], p[1], p[0]);
          break;
        }
        case 16: case 32: {
          std::uint32_t value = 0;
          if (header.bitCount == 16) {
            value = line[2 * x] | static_cast<std::uint32_t>(line[2 * x + 1]) << 8;
          } else {
            const unsigned char* p = line + 4 * x;
            value = p[0] | static_cast<std::uint32_t>(p[1]) << 8 |
                    static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
          }
          colour = MakeColour(red.Extract(value), green.Extract(value), blue.Extract(value));
          break;
        }
      }
      picture.Set(x, y, colour);
    }
  }
  return picture;
}

// Pixels the codes skip keep palette colour 0, as Windows shows them.
std::optional<Bitmap> DecodeRunLength(std::string_view bytes, const Header& header,
                                      std::size_t pixelsAt, const std::vector<Colour>& palette) {
  int width = static_cast<int>(header.width);
  int height = static_cast<int>(header.height);
  Bitmap picture(width, height, PaletteColour(palette, 0));
  bool four = header.compression == kRle4;
  int x = 0, row = 0;
  // Codes that run past the right edge are dropped, as Windows does.
  auto paint = [&](std::uint32_t index) {
    if (x >= width || row >= height) return;
    picture.Set(x, height - 1 - row, PaletteColour(palette, index));
    ++x;
  };
  std::size_t at = pixelsAt;
  auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  while (at + 1 < bytes.size() && row < height) {
    std::uint8_t count = byteAt(at), value = byteAt(at + 1);
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) paint(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
    } else if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (at + 1 >= bytes.size()) return std::nullopt;
      x = std::min(x + byteAt(at), width);
      row += byteAt(at + 1);
      at += 2;
    } else {
      std::size_t dataBytes = four ? (value + 1u) / 2 : value;
      if (bytes.size() - at < dataBytes) return std::nullopt;
      for (int i = 0; i < value; ++i) {
        paint(four ? (i % 2 == 0 ? byteAt(at + i / 2) >> 4 : byteAt(at + i / 2) & 0x0F)
                   : byteAt(at + i));
      }
      at += (dataBytes + 1) / 2 * 2;  // absolute runs are padded to a 16-bit boundary
    }
  }
  return picture;
}

}  // namespace

std::optional<Bitmap> DecodeBitmapFile(std::string_view bytes) {
  auto header = ReadHeader(bytes);
  if (!header) return std::nullopt;
  std::size_t pixelsAt = Read32(bytes, 10);
  if (pixelsAt < header->paletteAt || pixelsAt >= bytes.size()) return std::nullopt;
  auto palette = ReadPalette(bytes, *header, pixelsAt);
  if (!palette) return std::nullopt;
  if (header->compression == kRle8 || header->compression == kRle4) {
    return DecodeRunLength(bytes, *header, pixelsAt, *palette);
  }
  return DecodeUncompressed(bytes, *header, pixelsAt, *palette);
}

std::string EncodeBitmapFile(const Bitmap& picture) {
  if (picture.Empty()) return {};
  auto width = static_cast<std::uint32_t>(picture.Width());
  auto height = static_cast<std::uint32_t>(picture.Height());
  std::uint32_t stride = (width * 3 + 3) / 4 * 4;
  std::uint32_t imageSize = stride * height;
  std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
  std::string out;
  out.reserve(offset + imageSize);
  out += "BM";
  Put32(out, offset + imageSize);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, kInfoHeaderSize);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits per pixel
  Put32(out, kRgb);
  Put32(out, imageSize);
  Put32(out, 0);  // pixels per metre, unknown
  Put32(out, 0);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // important colours
  for (int y = picture.Height() - 1; y >= 0; --y) {
    std::size_t rowStart = out.size();
    for (int x = 0; x < picture.Width(); ++x) {
      Colour colour = picture.At(x, y);
      out.push_back(static_cast<char>(BlueOf(colour)));
      out.push_back(static_cast<char>(GreenOf(colour)));
      out.push_back(static_cast<char>(RedOf(colour)));
    }
    out.append(stride - (out.size() - rowStart), '\0');
  }
  return out;
}

std::optional<Bitmap> LoadBitmapFile(const std::string& path) {
  auto bytes = platform::ReadFile(path);
  if (!bytes) return std::nullopt;
  return DecodeBitmapFile(*bytes);
}

bool SaveBitmapFile(const std::string& path, const Bitmap& picture) {
  if (picture.Empty()) return false;
  return platform::WriteFileAtomic(path, EncodeBitmapFile(picture));
}

}  // namespace mf
