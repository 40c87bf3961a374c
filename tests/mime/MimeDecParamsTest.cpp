#include "mime/MimeDecParams.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mf::mimedec {
namespace {

struct ParameterCase {
  const char* name;
  std::string line;
  std::string parameter;
  std::optional<std::string> value;
  std::string charset;
};

TEST(FindMimeParameter, ReadsPlainQuotedExtendedAndContinuedValues) {
  const std::vector<ParameterCase> cases = {
      {"token", "Content-Disposition: attachment; filename=a.txt", "filename", "a.txt", ""},
      {"quoted with ; and =", "Content-Disposition: attachment; filename=\"a;b=c.txt\"; size=3", "filename",
       "a;b=c.txt", ""},
      {"name case ignored", "Content-Type: image/png; NAME=\"P.png\"", "name", "P.png", ""},
      {"blanks around =", "Content-Disposition: attachment; filename = \"x y\" ", "filename", "x y", ""},
      {"quoted pair", "Content-Disposition: attachment; filename=\"a\\\"b\"", "filename", "a\"b", ""},
      {"extended", "Content-Disposition: attachment; filename*=UTF-8'ja'%E3%81%82.txt", "filename", "\xE3\x81\x82.txt",
       "utf-8"},
      {"extended wins over plain", "Content-Disposition: attachment; filename=\"old.txt\"; filename*=utf-8''new.txt",
       "filename", "new.txt", "utf-8"},
      {"continuations in number order",
       "Content-Disposition: attachment; filename*1=\"b.\"; filename*0*=iso-8859-1''%41; filename*2=txt", "filename",
       "Ab.txt", "iso-8859-1"},
      {"a gap ends the continuation", "Content-Type: x/y; name*0=a; name*2=c", "name", "a", ""},
      {"bad percent stays", "Content-Disposition: attachment; filename*=utf-8''100%.txt%4", "filename", "100%.txt%4",
       "utf-8"},
      {"no such parameter", "Content-Disposition: attachment; size=3", "filename", std::nullopt, ""},
      {"a prefix is not the name", "Content-Disposition: attachment; filenames=x", "filename", std::nullopt, ""},
      {"unterminated quote", "Content-Disposition: attachment; filename=\"open", "filename", "open", ""},
      {"no colon", "garbage; filename=x", "filename", std::nullopt, ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const auto found = FindMimeParameter(test.line, test.parameter);
    ASSERT_EQ(found.has_value(), test.value.has_value());
    if (!found) continue;
    EXPECT_EQ(found->value, *test.value);
    EXPECT_EQ(found->charset, test.charset);
  }
}

TEST(FindMimeParameter, ManyContinuationsAreBounded) {
  std::string line = "Content-Type: x/y";
  for (int i = 0; i < 200; ++i) line += "; name*" + std::to_string(i) + "=a";
  const auto found = FindMimeParameter(line, "name");
  ASSERT_TRUE(found);
  EXPECT_LE(found->value.size(), 64u);
}

TEST(FieldNameAndFirstToken, AreLowerCasedAndTrimmed) {
  EXPECT_EQ(FieldName("Content-TYPE : text/plain"), "content-type");
  EXPECT_EQ(FieldName("no colon here"), "");
  EXPECT_EQ(FieldFirstToken("Content-Disposition:  ATTACHMENT;filename=x"), "attachment");
  EXPECT_EQ(FieldFirstToken("Content-Type: Text/HTML"), "text/html");
}

}  // namespace
}  // namespace mf::mimedec
