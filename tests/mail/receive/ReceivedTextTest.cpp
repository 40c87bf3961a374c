#include "mail/receive/ReceivedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"

namespace mf {
namespace {

const std::vector<std::string> kFooter = {"----", Sj("本メール"), "line3", "line4", "http://old/", "line6"};

TEST(WithoutMailFooter, RemovesExactlyTheSixLinesAtTheEnd) {
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"footer after text", "a\r\nlast\r\n----\r\n" + Sj("本メール") + "\r\nline3\r\nline4\r\nhttp://new/\r\nline6\r\n",
       "a\r\nlast\r\n"},
      {"trailing empty lines go too", "a\r\n----\r\n" + Sj("本メール") + "\r\nline3\r\nline4\r\nx\r\nline6\r\n\r\n\r\n",
       "a\r\n"},
      {"footer alone", "----\r\n" + Sj("本メール") + "\r\nline3\r\nline4\r\nx\r\nline6", ""},
      {"one footer line differs", "a\r\n----\r\nother\r\nline3\r\nline4\r\nx\r\nline6\r\n",
       "a\r\n----\r\nother\r\nline3\r\nline4\r\nx\r\nline6\r\n"},
      {"text after the footer", "----\r\n" + Sj("本メール") + "\r\nline3\r\nline4\r\nx\r\nline6\r\nP.S.\r\n",
       "----\r\n" + Sj("本メール") + "\r\nline3\r\nline4\r\nx\r\nline6\r\nP.S.\r\n"},
      {"shorter than the footer", "line6\r\n", "line6\r\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(WithoutMailFooter(test.text, kFooter), test.expected);
  }
}

TEST(HtmlToText, KeepsWhatABrowserShows) {
  const struct {
    const char* name;
    std::string html;
    std::string expected;
  } cases[] = {
      {"blanks collapse", "<p>a\r\n   b</p>", "a b\r\n"},
      {"br breaks", "one<br>two<BR/>three", "one\r\ntwo\r\nthree\r\n"},
      {"comments and styles vanish", "<!-- x --><style>p{}</style>t<SCRIPT>alert(1)</SCRIPT>", "t\r\n"},
      {"entities", "&lt;&gt;&amp;&quot;&#65;&#x42;&nbsp;&unknown;", "<>&\"AB &unknown;\r\n"},
      {"numeric entity out of range", "&#99999999;", Sj("〓") + "\r\n"},
      {"control characters by number", "a&#1;b", "a b\r\n"},
      {"tag cut off by the end", "text<a href=", "text\r\n"},
      {"shift_jis kept", Sj("<b>日本</b>語"), Sj("日本語") + "\r\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(HtmlToText(test.html), test.expected);
  }
}

TEST(BodyTextToProgramCode, ConvertsByTheDeclaredCharset) {
  const struct {
    const char* name;
    std::string bytes;
    std::string charset;
    std::string expected;
  } cases[] = {
      {"utf-8", "\xE3\x81\x82", "utf-8", Sj("あ")},
      {"euc-jp", "\xA4\xA2", "euc-jp", Sj("あ")},
      {"undeclared jis", "\x1B$B$\"\x1B(B", "", Sj("あ")},
      {"undeclared utf-8", "\xE3\x81\x82", "", Sj("あ")},
      {"undeclared shift_jis", Sj("あい"), "", Sj("あい")},
      {"jis with extensions", "\x1B$B-!-j\x1B(B", "iso-2022-jp", Sj("①㈱")},
      {"windows-1252 euro", "\x80", "windows-1252", Sj("〓")},
      {"koi8-r", "\xC1", "koi8-r", Sj("а")},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(BodyTextToProgramCode(test.bytes, test.charset), test.expected);
  }
}

}  // namespace
}  // namespace mf
