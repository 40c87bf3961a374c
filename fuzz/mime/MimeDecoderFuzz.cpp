#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "mime/MimeDecParams.h"
#include "mime/MimeDecoder.h"

namespace {
volatile std::size_t sink;  // keeps the reads of handed-out bytes
}  // namespace

// The first byte chooses a line length limit (small ones exercise the cutting
// of long lines) and whether a destination stream is set; the rest is the
// message. Beyond the sanitizers, checks that the decoder never reports more
// data than the input can give and that every pointer it hands out is readable.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t limits[] = {16, 100, 2047, 2048, 4096, mf::MimeDecoder::kDefaultMaxLineLength};
  const std::uint8_t choice = data[0];
  std::string message(reinterpret_cast<const char*>(data + 1), size - 1);

  mf::MimeDecoder decoder;
  decoder.SetMaxLineLength(limits[choice % 6]);
  std::ostringstream dest;
  if (choice & 0x80) decoder.SetDestStream(&dest);

  std::size_t delivered = 0;
  std::size_t checksum = 0;
  int lastPart = 0;
  auto touch = [&](const char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) checksum += static_cast<unsigned char>(bytes[i]);
  };
  auto header = [&](mf::MimeDecoder& d) {
    touch(d.CurrentData(), d.CurrentDataLength());
    if (d.CurrentData()[d.CurrentDataLength()] != '\0') std::abort();
    // The receiving side reads attachment names from the same lines.
    const std::string_view line(d.CurrentData(), d.CurrentDataLength());
    for (const char* name : {"filename", "name", "boundary"}) {
      if (auto parameter = mf::mimedec::FindMimeParameter(line, name)) {
        if (parameter->value.size() > line.size()) std::abort();
        touch(parameter->value.data(), parameter->value.size());
      }
    }
    checksum += mf::mimedec::FieldFirstToken(line).size() + mf::mimedec::FieldName(line).size();
  };
  decoder.OnHeaderLine = header;
  decoder.OnPartHeaderLine = header;
  decoder.OnPartHeaderBegin = [&](mf::MimeDecoder& d) {
    if (d.PartNumber() != lastPart + 1) std::abort();
    lastPart = d.PartNumber();
  };
  decoder.OnPartLine = [&](mf::MimeDecoder&, const char* bytes, std::size_t length) {
    touch(bytes, length);
    delivered += length;
  };
  decoder.OnInlineDecodeLine = [&](mf::MimeDecoder&, const char* line, std::size_t length) {
    touch(line, length);
    if (line[length] != '\0') std::abort();
  };
  decoder.OnInlineDecodeBegin = [&](mf::MimeDecoder&, const std::string& name) { touch(name.data(), name.size()); };

  std::istringstream stream(message);
  decoder.DecodeStream(stream);

  // Each input byte yields at most one output byte, and each line at most a
  // CR LF more (a line is at least one byte, its LF, except the last).
  if (delivered > 3 * message.size() + 2) std::abort();
  if ((choice & 0x80) && dest.str().size() != delivered) std::abort();
  sink = checksum;
  return 0;
}
