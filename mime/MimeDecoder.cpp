#include "mime/MimeDecoder.h"

#include <fstream>
#include <ios>
#include <stdexcept>

#include "base/Base64.h"
#include "mime/MimeDecCodecs.h"
#include "mime/MimeDecLineBuffer.h"
#include "mime/MimeDecParams.h"
#include "mime/MimeDecTokens.h"
#include "platform/Files.h"

namespace mf {
namespace {

using mimedec::TokenReader;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(const std::string& text) {
  std::string lower(text);
  for (auto& c : lower) c = LowerAscii(c);
  return lower;
}

std::string WithoutAngleBrackets(std::string value) {
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  if (value.size() >= 2 && value.front() == '<' && value.back() == '>') return value.substr(1, value.size() - 2);
  return value;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// An RFC 2231 parameter ("boundary*=", "charset*0*=", "name*1=") reaches the
// token reader as its name with the star and section number still on, and
// its pieces may lie anywhere on the line: it is read again from the whole
// line, where the sections are put together and percent escapes resolved.
// The charset the value names is left for the caller, as for every value.
bool IsSectionOf(const std::string& parameter, std::string_view name) {
  return parameter.size() > name.size() && parameter.compare(0, name.size(), name) == 0 &&
         parameter[name.size()] == '*';
}

// Which parameters of one line came in sections; each is read once, after
// the line's own walk, so a line of many sections costs one more pass.
struct SectionedParameters {
  bool charset = false, name = false, boundary = false, filename = false;
  void Note(const std::string& parameter) {
    charset = charset || IsSectionOf(parameter, "charset");
    name = name || IsSectionOf(parameter, "name");
    boundary = boundary || IsSectionOf(parameter, "boundary");
    filename = filename || IsSectionOf(parameter, "filename");
  }
};

std::string SectionedValue(const char* line, std::size_t length, std::string_view name) {
  auto found = mimedec::FindMimeParameter(std::string_view(line, length), name);
  return found ? found->value : std::string();
}

}  // namespace

MimeDecoder::MimeDecoder() = default;
MimeDecoder::~MimeDecoder() = default;

void MimeDecoder::DecodeFile(const std::string& FileName) {
  std::ifstream stream(platform::NativePath(FileName), std::ios::binary);
  if (!stream || !platform::FileExists(FileName)) throw std::ios_base::failure("Cannot open file \"" + FileName + "\"");
  DecodeStream(stream);
}

void MimeDecoder::DecodeStream(std::istream& Stream) {
  Begin(Stream);
  DecodeWhile([] { return true; });
}

void MimeDecoder::BeginFile(const std::string& FileName) {
  if (decoding_) throw std::logic_error("MimeDecoder: already decoding");
  auto stream = std::make_unique<std::ifstream>(platform::NativePath(FileName), std::ios::binary);
  if (!*stream || !platform::FileExists(FileName)) throw std::ios_base::failure("Cannot open file \"" + FileName + "\"");
  Begin(*stream);
  file_ = std::move(stream);
}

bool MimeDecoder::DecodeFor(std::chrono::steady_clock::duration slice) {
  if (!decoding_) return true;
  const auto until = std::chrono::steady_clock::now() + slice;
  // The clock after every line: a line may open and sync a file.
  return DecodeWhile([&] { return std::chrono::steady_clock::now() < until; });
}

void MimeDecoder::Cancel() {
  if (decoding_) End();
}

void MimeDecoder::Begin(std::istream& stream) {
  if (decoding_) throw std::logic_error("MimeDecoder: already decoding");
  Reset();
  lines_ = std::make_unique<mimedec::LineBuffer>(stream, maxLineLength_);
  decoding_ = true;
}

// Leaves the decoder's per-run state tidy however the decoding ended.
void MimeDecoder::End() {
  decoding_ = false;
  lines_.reset();
  file_.reset();
  SetCurrentData("", 0);
}

template <typename More>
bool MimeDecoder::DecodeWhile(More more) {
  try {
    char* line = nullptr;
    std::size_t length = 0;
    for (;;) {
      const bool inHeader = handler_ == Handler::MessageHeader || handler_ == Handler::PartHeader;
      if (!lines_->Next(inHeader ? mimedec::Folding::Join : mimedec::Folding::Keep, line, length)) break;
      HandleLine(line, length);
      if (!more()) return false;
    }
    SetCurrentData("", 0);
    if (boundary_.empty() || partOpen_) {
      partOpen_ = false;
      Fire(OnPartEnd);
    }
    Fire(OnMessageEnd);
  } catch (...) {
    End();
    throw;
  }
  End();
  return true;
}

void MimeDecoder::Reset() {
  for (auto* value : {&from_, &to_, &subject_, &returnPath_, &date_, &mimeVersion_, &contentType_, &charset_,
                      &headerName_, &boundary_, &encoding_, &disposition_, &fileName_}) {
    value->clear();
  }
  isMultipart_ = false;
  headerLines_.clear();
  ClearPartValues();
  partNumber_ = 0;
  handler_ = Handler::MessageHeader;
  headerBegun_ = false;
  partHeaderBegun_ = false;
  partOpen_ = false;
  nestedBoundaries_.clear();
  inlineDecoding_ = false;
  inlineFileName_.clear();
  uuInside_ = false;
  uuFileName_.clear();
}

void MimeDecoder::ClearPartValues() {
  for (auto* value : {&partContentType_, &partCharset_, &partName_, &partEncoding_, &partDisposition_, &partFileName_,
                      &partContentId_}) {
    value->clear();
  }
}

void MimeDecoder::Fire(const TNotifyEvent& event) {
  if (event) event(*this);
}

void MimeDecoder::SetCurrentData(const char* data, std::size_t length) {
  currentData_ = data;
  currentDataLength_ = length;
}

void MimeDecoder::HandleLine(char* line, std::size_t length) {
  switch (handler_) {
    case Handler::MessageHeader:
      MessageHeaderLine(line, length);
      break;
    case Handler::WaitingForBoundary:
      PreambleLine(line, length);
      break;
    case Handler::PartHeader:
      PartHeaderLine(line, length);
      break;
    case Handler::PartData:
      PartDataLine(line, length);
      break;
    case Handler::SinglePartBody:
      SinglePartLine(line, length);
      break;
  }
}

void MimeDecoder::MessageHeaderLine(char* line, std::size_t length) {
  if (length == 0) {
    Fire(OnHeaderEnd);
    if (!boundary_.empty()) {
      partOpen_ = true;  // so that a message missing every boundary still ends its part
      Fire(OnPartBegin);
      handler_ = Handler::WaitingForBoundary;
    } else {
      handler_ = Handler::SinglePartBody;
    }
    return;
  }
  if (!headerBegun_) {
    headerBegun_ = true;
    Fire(OnHeaderBegin);
  }
  TokenReader reader(line, length);
  const std::string name = reader.Token();
  if (reader.Delimiter() == ':') {
    reader.SkipBlanks();
    if (name == "from") {
      from_ = reader.Rest();
    } else if (name == "to") {
      to_ = reader.Rest();
    } else if (name == "subject") {
      subject_ = reader.Rest();
    } else if (name == "return-path") {
      returnPath_ = WithoutAngleBrackets(reader.Rest());
    } else if (name == "date") {
      date_ = reader.Rest();
    } else if (name == "mime-version") {
      mimeVersion_ = reader.Rest();
    } else if (name == "content-type") {
      contentType_ = reader.Token(true);
      SectionedParameters sectioned;
      while (reader.Delimiter() == ';') {
        const std::string parameter = reader.Token();
        if (reader.Delimiter() != '=') continue;
        const std::string value = reader.Value();
        if (parameter == "charset") {
          charset_ = value;
        } else if (parameter == "name") {
          headerName_ = value;
        } else if (parameter == "boundary") {
          boundary_ = "--" + Lowered(value);
          isMultipart_ = true;
        } else {
          sectioned.Note(parameter);
        }
      }
      if (sectioned.charset) charset_ = Lowered(SectionedValue(line, length, "charset"));
      if (sectioned.name) headerName_ = SectionedValue(line, length, "name");
      if (sectioned.boundary) {
        const std::string value = SectionedValue(line, length, "boundary");
        if (!value.empty()) {
          boundary_ = "--" + Lowered(value);
          isMultipart_ = true;
        }
      }
    } else if (name == "content-transfer-encoding") {
      encoding_ = reader.Token(true);
    } else if (name == "content-disposition") {
      disposition_ = reader.Token(true);
      SectionedParameters sectioned;
      while (reader.Delimiter() == ';') {
        const std::string parameter = reader.Token();
        if (reader.Delimiter() != '=') continue;
        const std::string value = reader.Value();
        if (parameter == "filename") fileName_ = value;
        else sectioned.Note(parameter);
      }
      if (sectioned.filename) fileName_ = SectionedValue(line, length, "filename");
    }
  }
  headerLines_.emplace_back(line, length);
  SetCurrentData(line, length);
  Fire(OnHeaderLine);
  SetCurrentData("", 0);
}

bool MimeDecoder::IsBoundaryLine(const char* line, std::size_t length, bool closingToo) {
  // Every boundary starts with "--"; most body lines are rejected here.
  if (length < 2 || line[0] != '-' || line[1] != '-') return false;
  // Transport padding after a delimiter is allowed (RFC 2046 section 5.1.1).
  while (length > 2 && IsBlank(line[length - 1])) --length;
  lowered_.assign(line, length);
  for (auto& c : lowered_) c = LowerAscii(c);
  auto known = [this](const std::string& candidate) {
    return candidate == boundary_ || nestedBoundaries_.count(candidate) != 0;
  };
  if (known(lowered_)) return true;
  if (closingToo && lowered_.size() >= 4 && lowered_.compare(lowered_.size() - 2, 2, "--") == 0) {
    lowered_.resize(lowered_.size() - 2);
    return known(lowered_);
  }
  return false;
}

void MimeDecoder::StartPartHeader() {
  partOpen_ = false;
  Fire(OnPartEnd);
  handler_ = Handler::PartHeader;
  partHeaderBegun_ = false;
}

void MimeDecoder::PreambleLine(char* line, std::size_t length) {
  if (IsBoundaryLine(line, length, false)) {
    StartPartHeader();
    return;
  }
  HandOver(line, length);
}

void MimeDecoder::PartHeaderLine(char* line, std::size_t length) {
  if (!partHeaderBegun_) {
    partHeaderBegun_ = true;
    ClearPartValues();
    inlineDecoding_ = false;
    inlineFileName_.clear();
    uuInside_ = false;
    uuFileName_.clear();
    ++partNumber_;
    Fire(OnPartHeaderBegin);
    if (length > 0 && IsBlank(line[0])) {
      // A part without a header: the line is already data.
      Fire(OnPartHeaderEnd);
      handler_ = Handler::PartData;
      PartDataLine(line, length);
      return;
    }
  }
  if (length == 0) {
    Fire(OnPartHeaderEnd);
    handler_ = Handler::PartData;
    return;
  }
  ParsePartField(line, length);
  SetCurrentData(line, length);
  Fire(OnPartHeaderLine);
  SetCurrentData("", 0);
}

void MimeDecoder::ParsePartField(const char* line, std::size_t length) {
  TokenReader reader(line, length);
  const std::string name = reader.Token();
  if (reader.Delimiter() != ':') return;
  reader.SkipBlanks();
  SectionedParameters sectioned;
  if (name == "content-type") {
    partContentType_ = reader.Token(true);
    while (reader.Delimiter() == ';') {
      const std::string parameter = reader.Token();
      if (reader.Delimiter() != '=') continue;
      const std::string value = reader.Value();
      if (parameter == "name") {
        partName_ = value;
      } else if (parameter == "charset") {
        partCharset_ = value;
      } else if (parameter == "boundary") {
        nestedBoundaries_.insert("--" + Lowered(value));
      } else {
        sectioned.Note(parameter);
      }
    }
    if (sectioned.name) partName_ = SectionedValue(line, length, "name");
    if (sectioned.charset) partCharset_ = Lowered(SectionedValue(line, length, "charset"));
    if (sectioned.boundary) {
      const std::string value = SectionedValue(line, length, "boundary");
      if (!value.empty()) nestedBoundaries_.insert("--" + Lowered(value));
    }
  } else if (name == "content-transfer-encoding") {
    partEncoding_ = reader.Token(true);
  } else if (name == "content-id") {
    partContentId_ = WithoutAngleBrackets(reader.Rest());
  } else if (name == "content-disposition") {
    partDisposition_ = reader.Token(true);
    while (reader.Delimiter() == ';') {
      const std::string parameter = reader.Token();
      if (reader.Delimiter() != '=') continue;
      if (parameter == "filename") {
        // Mailers leave long names unquoted, blanks and all: take the line.
        partFileName_ = reader.AtQuote() ? reader.Value() : reader.Rest();
      } else {
        sectioned.Note(parameter);
        reader.Value();
      }
    }
    if (sectioned.filename) partFileName_ = SectionedValue(line, length, "filename");
  } else if (name == "content-description" && partFileName_.empty()) {
    reader.Token(true);
    while (reader.Delimiter() == ';') {
      const std::string parameter = reader.Token();
      if (reader.Delimiter() != '=') continue;
      const std::string value = reader.Value();
      if (parameter == "filename") partFileName_ = value;
    }
  }
}

void MimeDecoder::PartDataLine(char* line, std::size_t length) {
  if (IsBoundaryLine(line, length, true)) {
    StartPartHeader();
    return;
  }
  if (!partOpen_) {
    partOpen_ = true;
    Fire(OnPartBegin);
  }
  DecodeData(line, length, partEncoding_);
}

void MimeDecoder::SinglePartLine(char* line, std::size_t length) {
  if (!partOpen_) {
    partOpen_ = true;
    Fire(OnPartBegin);
  }
  DecodeData(line, length, encoding_);
}

void MimeDecoder::DecodeData(char* line, std::size_t length, const std::string& encoding) {
  if (encoding == "base64") {
    HandOver(line, Base64DecodeInPlace(line, length));
  } else if (encoding == "quoted-printable") {
    mimedec::DecodeQuotedPrintable(line, length, scratch_);
    HandOver(scratch_.data(), scratch_.size());
  } else if (encoding == "x-uuencode") {
    DecodeUuencodedLine(line, length);
  } else {
    HandOver(line, length);
    char lineEnd[3] = "\r\n";
    HandOver(lineEnd, 2);
  }
}

void MimeDecoder::DecodeUuencodedLine(char* line, std::size_t length) {
  if (mimedec::StartsWithNoCase(line, length, "begin ")) {
    if (!mimedec::IsCutHereLine(line, length)) {
      uuInside_ = true;
      uuFileName_ = mimedec::UuBeginFileName(line, length);
    }
    return;
  }
  if (mimedec::StartsWithNoCase(line, length, "end")) {
    if (!mimedec::IsCutHereLine(line, length)) {
      uuInside_ = false;
      uuFileName_.clear();
    }
    return;
  }
  if (!uuInside_) return;
  mimedec::DecodeUuLine(line, length, scratch_);
  HandOver(scratch_.data(), scratch_.size());
}

void MimeDecoder::HandOver(char* data, std::size_t length) {
  if (length != 0 && partContentType_.empty() && InlineTakes(data, length)) return;
  if (OnPartLine) OnPartLine(*this, data, length);
  if (destStream_ && length != 0) destStream_->write(data, static_cast<std::streamsize>(length));
}

bool MimeDecoder::InlineTakes(char* data, std::size_t length) {
  char* start = data;
  char* end = data + length;
  while (start < end && static_cast<unsigned char>(*start) <= 0x20) ++start;
  while (end > start && static_cast<unsigned char>(end[-1]) <= 0x20) --end;
  const auto trimmed = static_cast<std::size_t>(end - start);
  if (trimmed == 0) return false;
  if (!inlineDecoding_) {
    if (!mimedec::StartsWithNoCase(start, trimmed, "begin 666")) return false;
    if (!mimedec::IsCutHereLine(start, trimmed)) {
      inlineFileName_ = mimedec::UuBeginFileName(start, trimmed);
      inlineDecoding_ = true;
      if (OnInlineDecodeBegin) OnInlineDecodeBegin(*this, inlineFileName_);
    }
    return true;
  }
  if (mimedec::StartsWithNoCase(start, trimmed, "end")) {
    if (!mimedec::IsCutHereLine(start, trimmed)) {
      inlineDecoding_ = false;
      const std::string name = std::move(inlineFileName_);
      inlineFileName_.clear();
      if (OnInlineDecodeEnd) OnInlineDecodeEnd(*this, name);
    }
    return true;
  }
  mimedec::DecodeUuLine(start, trimmed, inlineScratch_);
  if (OnInlineDecodeLine) OnInlineDecodeLine(*this, inlineScratch_.c_str(), inlineScratch_.size());
  return true;
}

}  // namespace mf
