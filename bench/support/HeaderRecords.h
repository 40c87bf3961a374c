#pragma once

// A header file as the store writes it, for the mail list benchmarks: varied
// subjects, senders and dates from a fixed seed, so every run reads the same.

#include <cstdio>
#include <string>

#include "base/ShiftJis.h"

namespace mf::bench {

struct HeaderFileShape {
  int mails = 100000;
  bool received = true;      // "未読" mail from others, else "送信済み"
  bool replies = false;      // about half the subjects begin with "Re: "
  bool attachments = false;  // about one mail in ten names an attachment folder
};

inline std::string MakeHeaderFile(const HeaderFileShape& shape) {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string status = shape.received ? Sj("未読") : Sj("送信済み");
  const std::string subject = Sj("会議の件について");
  std::string file;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < shape.mails; ++i) {
    char date[64];
    std::snprintf(date, sizeof date, "%s, %u %s %u %02u:%02u:%02u +0900", days[next() % 7], next() % 28 + 1,
                  months[next() % 12], 1995 + next() % 30, next() % 24, next() % 60, next() % 60);
    file += status + "\r\n";
    file += (shape.replies && next() % 2 ? "Re: " : "") + subject + std::to_string(next() % 100000) + "\r\n";
    file += "sender" + std::to_string(next() % 5000) + "@example.jp\r\n";
    file += std::string(date) + "\r\n";
    file += "me@example.jp\r\n";
    file += (shape.attachments && next() % 10 == 0 ? "folder" + std::to_string(i) : std::string()) + "\r\n";
    file += "\x01\x01\r\n";
  }
  return file;
}

}  // namespace mf::bench
