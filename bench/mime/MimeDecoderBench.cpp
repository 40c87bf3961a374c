// Decodes one 20 MB message (a 5 MB text part and a 15 MB Base64 attachment)
// with MimeDecoder and with GMime 3, from the same file, and prints the times
// and their ratio. Both decode every part's transfer encoding and count the
// bytes; neither converts character sets.
#include <fcntl.h>
#include <gmime/gmime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mime/MimeDecoder.h"
#include "platform/Files.h"

namespace {

constexpr std::size_t kTextBytes = 5u * 1024 * 1024;
constexpr std::size_t kBase64Bytes = 15u * 1024 * 1024;
constexpr int kRounds = 5;

std::string MakeMessage(std::size_t& attachmentBytes) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string message =
      "From: sender@example.jp\r\nTo: user@example.jp\r\nSubject: bench\r\n"
      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"=_bench_boundary\"\r\n\r\n"
      "--=_bench_boundary\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n"
      "Content-Transfer-Encoding: 7bit\r\n\r\n";
  message.reserve(kTextBytes + kBase64Bytes + 4096);
  const std::string textLine = "The quick brown fox jumps over the lazy dog, again and again and again.\r\n";
  for (std::size_t n = 0; n < kTextBytes; n += textLine.size()) message += textLine;
  message +=
      "--=_bench_boundary\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
  std::uint32_t seed = 12345;
  attachmentBytes = 0;
  for (std::size_t n = 0; n < kBase64Bytes; n += 78) {
    for (int i = 0; i < 76; ++i) {
      seed = seed * 1103515245u + 12345u;
      message += alphabet[(seed >> 16) & 63];
    }
    message += "\r\n";
    attachmentBytes += 57;
  }
  message += "--=_bench_boundary--\r\n";
  return message;
}

// One Base64 body line of 10 MB: the line buffer must grow in linear time.
std::string MakeLongLineMessage() {
  std::string message = "Subject: long line\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  message.append(10u * 1024 * 1024, 'Q');
  message += "\r\n";
  return message;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::size_t DecodeOurs(const std::string& path) {
  mf::MimeDecoder decoder;
  std::size_t bytes = 0;
  decoder.OnPartLine = [&](mf::MimeDecoder&, const char*, std::size_t length) { bytes += length; };
  decoder.DecodeFile(path);
  return bytes;
}

void CountPart(GMimeObject*, GMimeObject* part, gpointer user) {
  if (!GMIME_IS_PART(part)) return;
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  if (!content) return;
  GMimeStream* sink = g_mime_stream_null_new();
  g_mime_data_wrapper_write_to_stream(content, sink);
  *static_cast<std::size_t*>(user) += GMIME_STREAM_NULL(sink)->written;
  g_object_unref(sink);
}

std::size_t DecodeGMime(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  GMimeStream* stream = g_mime_stream_fs_new(fd);
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  std::size_t bytes = 0;
  if (message) {
    g_mime_message_foreach(message, CountPart, &bytes);
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return bytes;
}

}  // namespace

int main() {
  g_mime_init();
  mf::platform::TemporaryFolder folder;
  const std::string path = folder.Path() + "bench.eml";
  std::size_t attachmentBytes = 0;
  const std::string message = MakeMessage(attachmentBytes);
  if (!mf::platform::WriteFileAtomic(path, message)) return 1;

  const std::string longPath = folder.Path() + "longline.eml";
  if (!mf::platform::WriteFileAtomic(longPath, MakeLongLineMessage())) return 1;

  auto compare = [](const std::string& file, const char* title) {
    double ours = 1e9, gmime = 1e9;
    std::size_t oursBytes = 0, gmimeBytes = 0;
    for (int round = 0; round < kRounds; ++round) {
      auto start = std::chrono::steady_clock::now();
      oursBytes = DecodeOurs(file);
      ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - start));
      start = std::chrono::steady_clock::now();
      gmimeBytes = DecodeGMime(file);
      gmime = std::min(gmime, Seconds(std::chrono::steady_clock::now() - start));
    }
    std::printf("%s\n", title);
    std::printf("  MimeDecoder: %.1f ms, %zu bytes decoded\n", ours * 1000, oursBytes);
    std::printf("  GMime 3:     %.1f ms, %zu bytes decoded\n", gmime * 1000, gmimeBytes);
    std::printf("  ratio ours/GMime: %.2f (%s)\n", ours / gmime, ours < gmime ? "ours faster" : "GMime faster");
  };
  char title[160];
  std::snprintf(title, sizeof title, "message of %.1f MB with a Base64 attachment of %.1f MB (%.1f MB decoded)",
                message.size() / 1048576.0, kBase64Bytes / 1048576.0, attachmentBytes / 1048576.0);
  compare(path, title);
  compare(longPath, "single-part message with one Base64 line of 10 MB");
  g_mime_shutdown();
  return 0;
}
