#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace mf {

namespace mimedec {
class LineBuffer;
}

// Reads one stored mail message and reports its structure through events, in
// order: the message header, then every body part with its own header and its
// decoded data (Base64, quoted-printable, uuencode; uuencoded blocks inside
// plain text too). Character sets are left alone: the caller converts.
//
// DecodeFile returns after the last event. A caller that must keep its event
// loop turning decodes in steps instead: BeginFile, then DecodeFor until it
// says the message is through; the events are the same either way. Names of
// attachments are only reported here; whoever stores them must make them safe.
class MimeDecoder {
 public:
  using TNotifyEvent = std::function<void(MimeDecoder& Sender)>;
  // `Data` points into the line buffer and is valid only during the event.
  using TPartLineEvent = std::function<void(MimeDecoder& Sender, const char* Data, std::size_t DataLen)>;
  using TInlineDecodeEvent = std::function<void(MimeDecoder& Sender, const std::string& Filename)>;
  // `Line` is zero-terminated; `LineLen` counts the decoded bytes, which may
  // themselves hold NULs.
  using TInlineLineEvent = std::function<void(MimeDecoder& Sender, const char* Line, std::size_t LineLen)>;

  // Lines longer than this are handed over in pieces of this length.
  static constexpr std::size_t kDefaultMaxLineLength = 64u * 1024u * 1024u;

  MimeDecoder();
  ~MimeDecoder();
  MimeDecoder(const MimeDecoder&) = delete;
  MimeDecoder& operator=(const MimeDecoder&) = delete;

  // Opens a Shift_JIS path read-only; a file that cannot be opened throws
  // std::ios_base::failure before any event.
  void DecodeFile(const std::string& FileName);
  // Decodes the whole stream. Exceptions from event handlers pass through;
  // decoding again from inside a handler throws std::logic_error.
  void DecodeStream(std::istream& Stream);

  // Decoding in steps. BeginFile opens as DecodeFile does and fires nothing;
  // each DecodeFor decodes lines for about `slice` (at least one) and
  // returns true once OnMessageEnd has fired. Cancel drops a decoding
  // begun, without further events. An exception from a handler ends the
  // decoding as Cancel does and passes through.
  void BeginFile(const std::string& FileName);
  bool DecodeFor(std::chrono::steady_clock::duration slice);
  void Cancel();
  bool Decoding() const { return decoding_; }

  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderLine;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnPartHeaderBegin;
  TNotifyEvent OnPartHeaderLine;
  TNotifyEvent OnPartHeaderEnd;
  TNotifyEvent OnPartBegin;
  TPartLineEvent OnPartLine;
  TNotifyEvent OnPartEnd;
  TNotifyEvent OnMessageEnd;
  TInlineDecodeEvent OnInlineDecodeBegin;
  TInlineLineEvent OnInlineDecodeLine;
  TInlineDecodeEvent OnInlineDecodeEnd;

  // Message header values, cleared when decoding starts.
  const std::string& From() const { return from_; }
  const std::string& To() const { return to_; }
  const std::string& Subject() const { return subject_; }
  const std::string& ReturnPath() const { return returnPath_; }
  const std::string& Date() const { return date_; }
  const std::string& MimeVersion() const { return mimeVersion_; }
  const std::string& ContentType() const { return contentType_; }
  const std::string& Charset() const { return charset_; }
  const std::string& HeaderName() const { return headerName_; }
  const std::string& Boundary() const { return boundary_; }
  bool IsMultipart() const { return isMultipart_; }
  const std::string& Encoding() const { return encoding_; }
  const std::string& Disposition() const { return disposition_; }
  const std::string& FileName() const { return fileName_; }
  const std::vector<std::string>& HeaderLines() const { return headerLines_; }

  // Values of the current part, cleared at each part header.
  const std::string& PartContentType() const { return partContentType_; }
  const std::string& PartCharset() const { return partCharset_; }
  const std::string& PartName() const { return partName_; }
  const std::string& PartEncoding() const { return partEncoding_; }
  const std::string& PartDisposition() const { return partDisposition_; }
  const std::string& PartFileName() const { return partFileName_; }
  const std::string& PartContentId() const { return partContentId_; }
  // Counts part headers from 1; 0 before the first (a preamble, a single-part body).
  int PartNumber() const { return partNumber_; }

  // The current header line (folded lines joined), zero-terminated, during
  // the header-line and part-header-line events; empty otherwise.
  const char* CurrentData() const { return currentData_; }
  std::size_t CurrentDataLength() const { return currentDataLength_; }

  // Every byte given to OnPartLine is also written here when set.
  std::ostream* DestStream() const { return destStream_; }
  void SetDestStream(std::ostream* stream) { destStream_ = stream; }

  std::size_t MaxLineLength() const { return maxLineLength_; }
  void SetMaxLineLength(std::size_t length) { maxLineLength_ = length; }

 private:
  enum class Handler { MessageHeader, WaitingForBoundary, PartHeader, PartData, SinglePartBody };

  void Reset();
  void Begin(std::istream& stream);
  void End();
  // Decodes lines until `more` says stop or the input ends; true at the end.
  template <typename More>
  bool DecodeWhile(More more);
  void HandleLine(char* line, std::size_t length);
  void MessageHeaderLine(char* line, std::size_t length);
  void PreambleLine(char* line, std::size_t length);
  void PartHeaderLine(char* line, std::size_t length);
  void PartDataLine(char* line, std::size_t length);
  void SinglePartLine(char* line, std::size_t length);
  void StartPartHeader();
  void ClearPartValues();
  void ParsePartField(const char* line, std::size_t length);
  void DecodeData(char* line, std::size_t length, const std::string& encoding);
  void DecodeUuencodedLine(char* line, std::size_t length);
  void HandOver(char* data, std::size_t length);
  bool InlineTakes(char* data, std::size_t length);
  bool IsBoundaryLine(const char* line, std::size_t length, bool closingToo);
  void SetCurrentData(const char* data, std::size_t length);
  void Fire(const TNotifyEvent& event);

  std::string from_, to_, subject_, returnPath_, date_, mimeVersion_, contentType_, charset_, headerName_, boundary_,
      encoding_, disposition_, fileName_;
  bool isMultipart_ = false;
  std::vector<std::string> headerLines_;

  std::string partContentType_, partCharset_, partName_, partEncoding_, partDisposition_, partFileName_, partContentId_;
  int partNumber_ = 0;

  const char* currentData_ = "";
  std::size_t currentDataLength_ = 0;
  std::ostream* destStream_ = nullptr;
  std::size_t maxLineLength_ = kDefaultMaxLineLength;

  Handler handler_ = Handler::MessageHeader;
  bool decoding_ = false;
  std::unique_ptr<std::istream> file_;            // of BeginFile
  std::unique_ptr<mimedec::LineBuffer> lines_;    // while decoding
  bool headerBegun_ = false;
  bool partHeaderBegun_ = false;
  bool partOpen_ = false;
  // Boundaries of nested multiparts; a set, because hostile input may
  // declare very many and every body line is looked up.
  std::unordered_set<std::string> nestedBoundaries_;
  bool inlineDecoding_ = false;
  std::string inlineFileName_;
  bool uuInside_ = false;
  std::string uuFileName_;
  std::string scratch_;        // quoted-printable and uuencoded output
  std::string inlineScratch_;  // inline blocks may sit inside that output
  std::string lowered_;        // a candidate boundary line in lower case
};

}  // namespace mf
