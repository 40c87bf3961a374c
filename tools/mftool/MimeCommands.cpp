#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "mime/MimeDecoder.h"
#include "platform/Files.h"
#include "tools/mftool/Command.h"

namespace mf::tool {
namespace {

// Shows bytes on one line: control characters, quotes and backslashes
// escaped, everything else (Shift_JIS included) as it is.
std::string Quoted(const char* data, std::size_t length, std::size_t limit) {
  std::string out = "\"";
  const std::size_t shown = std::min(length, limit);
  for (std::size_t i = 0; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  if (shown < length) out += "...";
  return out;
}

std::string Quoted(const std::string& text) { return Quoted(text.data(), text.size(), text.size()); }

std::string MessageValues(const MimeDecoder& d) {
  std::ostringstream out;
  out << " From=" << Quoted(d.From()) << " To=" << Quoted(d.To()) << " Subject=" << Quoted(d.Subject())
      << " ReturnPath=" << Quoted(d.ReturnPath()) << " Date=" << Quoted(d.Date())
      << " MimeVersion=" << Quoted(d.MimeVersion()) << " ContentType=" << Quoted(d.ContentType())
      << " Charset=" << Quoted(d.Charset()) << " HeaderName=" << Quoted(d.HeaderName())
      << " Boundary=" << Quoted(d.Boundary()) << " IsMultipart=" << (d.IsMultipart() ? 1 : 0)
      << " Encoding=" << Quoted(d.Encoding()) << " Disposition=" << Quoted(d.Disposition())
      << " FileName=" << Quoted(d.FileName()) << " HeaderLines=" << d.HeaderLines().size();
  return out.str();
}

std::string PartValues(const MimeDecoder& d) {
  std::ostringstream out;
  out << " PartNumber=" << d.PartNumber() << " PartContentType=" << Quoted(d.PartContentType())
      << " PartCharset=" << Quoted(d.PartCharset()) << " PartName=" << Quoted(d.PartName())
      << " PartEncoding=" << Quoted(d.PartEncoding()) << " PartDisposition=" << Quoted(d.PartDisposition())
      << " PartFileName=" << Quoted(d.PartFileName()) << " PartContentId=" << Quoted(d.PartContentId());
  return out.str();
}

}  // namespace

int RunMimeDump(const Arguments& arguments) {
  std::string file;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--parts") {
      ++i;
    } else if (arguments[i] != "--full" && file.empty()) {
      file = arguments[i];
    }
  }
  if (file.empty()) {
    std::cerr << "usage: mftool mime-dump FILE [--parts DIR] [--full]\n";
    return 2;
  }
  // Paths on the command line are native; the program's own are Shift_JIS.
  file = platform::FromNativePath(file);
  std::string partsFolder = OptionValue(arguments, "--parts");
  if (!partsFolder.empty()) partsFolder = platform::FromNativePath(partsFolder);
  const std::size_t limit = HasFlag(arguments, "--full") ? std::string::npos : 80;
  if (!partsFolder.empty() && !platform::CreateFolders(partsFolder)) {
    std::cerr << "mftool: cannot create " << partsFolder << "\n";
    return 1;
  }

  // Part numbers only grow, so one file is open at a time however many parts
  // a message has. The names are numbers we count, never names from the message.
  std::ofstream partFile;
  int partFileNumber = -1;
  bool writeFailed = false;
  MimeDecoder d;
  std::ostream& out = std::cout;
  d.OnHeaderBegin = [&](MimeDecoder&) { out << "HeaderBegin\n"; };
  d.OnHeaderLine = [&](MimeDecoder& s) {
    out << "HeaderLine CurrentData=" << Quoted(s.CurrentData(), s.CurrentDataLength(), limit) << "\n";
  };
  d.OnHeaderEnd = [&](MimeDecoder& s) { out << "HeaderEnd" << MessageValues(s) << "\n"; };
  d.OnPartHeaderBegin = [&](MimeDecoder& s) { out << "PartHeaderBegin PartNumber=" << s.PartNumber() << "\n"; };
  d.OnPartHeaderLine = [&](MimeDecoder& s) {
    out << "PartHeaderLine PartNumber=" << s.PartNumber()
        << " CurrentData=" << Quoted(s.CurrentData(), s.CurrentDataLength(), limit) << "\n";
  };
  d.OnPartHeaderEnd = [&](MimeDecoder& s) { out << "PartHeaderEnd" << PartValues(s) << "\n"; };
  d.OnPartBegin = [&](MimeDecoder& s) { out << "PartBegin PartNumber=" << s.PartNumber() << "\n"; };
  d.OnPartLine = [&](MimeDecoder& s, const char* data, std::size_t length) {
    out << "PartLine PartNumber=" << s.PartNumber() << " DataLen=" << length << " Data=" << Quoted(data, length, limit)
        << "\n";
    if (partsFolder.empty()) return;
    if (s.PartNumber() != partFileNumber) {
      if (partFile.is_open()) partFile.close();
      if (partFile.fail()) writeFailed = true;
      partFileNumber = s.PartNumber();
      const std::string path = partsFolder + "/" + std::to_string(partFileNumber) + ".bin";
      partFile.clear();
      partFile.open(platform::NativePath(path), std::ios::binary | std::ios::trunc);
    }
    partFile.write(data, static_cast<std::streamsize>(length));
    if (!partFile) writeFailed = true;
  };
  d.OnPartEnd = [&](MimeDecoder& s) { out << "PartEnd PartNumber=" << s.PartNumber() << "\n"; };
  d.OnMessageEnd = [&](MimeDecoder& s) { out << "MessageEnd PartNumber=" << s.PartNumber() << "\n"; };
  d.OnInlineDecodeBegin = [&](MimeDecoder&, const std::string& name) {
    out << "InlineDecodeBegin Filename=" << Quoted(name) << "\n";
  };
  d.OnInlineDecodeLine = [&](MimeDecoder&, const char* line, std::size_t length) {
    out << "InlineDecodeLine LineLen=" << length << " Line=" << Quoted(line, length, limit) << "\n";
  };
  d.OnInlineDecodeEnd = [&](MimeDecoder&, const std::string& name) {
    out << "InlineDecodeEnd Filename=" << Quoted(name) << "\n";
  };
  try {
    d.DecodeFile(file);
  } catch (const std::exception& error) {
    std::cerr << "mftool: " << error.what() << "\n";
    return 1;
  }
  if (partFile.is_open()) {
    partFile.close();
    if (partFile.fail()) writeFailed = true;
  }
  if (writeFailed) {
    std::cerr << "mftool: writing the parts to " << partsFolder << " failed\n";
    return 1;
  }
  return 0;
}

}  // namespace mf::tool
