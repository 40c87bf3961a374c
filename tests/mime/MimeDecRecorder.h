#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "mime/MimeDecoder.h"

namespace mf::testing {

// Binds every event of a decoder and writes down what each one made available.
struct MimeDecRecorder {
  std::vector<std::string> events;           // one entry per event, in order
  std::map<int, std::string> data;           // OnPartLine bytes by PartNumber
  std::vector<std::string> headerLines;      // CurrentData in OnHeaderLine
  std::vector<std::string> partHeaderLines;  // CurrentData in OnPartHeaderLine
  std::vector<std::string> partFileNames;    // PartFileName at each OnPartHeaderEnd
  std::string inlineData;                    // OnInlineDecodeLine bytes

  explicit MimeDecRecorder(MimeDecoder& decoder) {
    decoder.OnHeaderBegin = [this](MimeDecoder&) { events.push_back("HeaderBegin"); };
    decoder.OnHeaderLine = [this](MimeDecoder& d) {
      events.push_back("HeaderLine");
      headerLines.emplace_back(d.CurrentData(), d.CurrentDataLength());
    };
    decoder.OnHeaderEnd = [this](MimeDecoder&) { events.push_back("HeaderEnd"); };
    decoder.OnPartHeaderBegin = [this](MimeDecoder& d) {
      events.push_back("PartHeaderBegin" + std::to_string(d.PartNumber()));
    };
    decoder.OnPartHeaderLine = [this](MimeDecoder& d) {
      events.push_back("PartHeaderLine");
      partHeaderLines.emplace_back(d.CurrentData(), d.CurrentDataLength());
    };
    decoder.OnPartHeaderEnd = [this](MimeDecoder& d) {
      events.push_back("PartHeaderEnd");
      partFileNames.push_back(d.PartFileName());
    };
    decoder.OnPartBegin = [this](MimeDecoder&) { events.push_back("PartBegin"); };
    decoder.OnPartLine = [this](MimeDecoder& d, const char* bytes, std::size_t length) {
      // Runs of lines collapse into one entry so that orders stay readable.
      if (events.empty() || events.back() != "PartLine") events.push_back("PartLine");
      data[d.PartNumber()].append(bytes, length);
    };
    decoder.OnPartEnd = [this](MimeDecoder&) { events.push_back("PartEnd"); };
    decoder.OnMessageEnd = [this](MimeDecoder&) { events.push_back("MessageEnd"); };
    decoder.OnInlineDecodeBegin = [this](MimeDecoder&, const std::string& name) {
      events.push_back("InlineBegin:" + name);
    };
    decoder.OnInlineDecodeLine = [this](MimeDecoder&, const char* line, std::size_t length) {
      if (events.empty() || events.back() != "InlineLine") events.push_back("InlineLine");
      inlineData.append(line, length);
    };
    decoder.OnInlineDecodeEnd = [this](MimeDecoder&, const std::string& name) {
      events.push_back("InlineEnd:" + name);
    };
  }
};

inline void Decode(MimeDecoder& decoder, const std::string& message) {
  std::istringstream stream(message);
  decoder.DecodeStream(stream);
}

}  // namespace mf::testing
