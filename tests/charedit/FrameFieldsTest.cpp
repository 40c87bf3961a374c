#include "charedit/FrameFields.h"

#include <gtest/gtest.h>

namespace mf {
namespace {

struct KeyCase {
  FrameField field;
  const char* text;
  int caret;
  char key;
  bool accepted;
};

class FrameKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FrameKeys, Filter) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(AcceptsFrameKey(c.field, c.text, c.caret, c.key), c.accepted)
      << "'" << c.text << "' caret " << c.caret << " key '" << c.key << "'";
}

constexpr auto S = FrameField::Speed;
constexpr auto M = FrameField::Move;

INSTANTIATE_TEST_SUITE_P(
    Keys, FrameKeys,
    ::testing::Values(KeyCase{S, "", 0, '5', true}, KeyCase{S, "1", 1, '0', true},
                      KeyCase{S, "", 0, '0', false}, KeyCase{S, "5", 0, '0', false},
                      KeyCase{S, "", 0, '-', false}, KeyCase{S, "", 0, 'a', false},
                      KeyCase{S, "12", 2, kBackspaceKey, true}, KeyCase{M, "", 0, '-', true},
                      KeyCase{M, "10", 0, '-', true}, KeyCase{M, "10", 1, '-', false},
                      KeyCase{M, "-1", 0, '-', false}, KeyCase{M, "-", 1, '0', true},
                      KeyCase{M, "", 0, '0', false}, KeyCase{M, "", 0, ' ', false}));

struct CaptionCase {
  const char* speed;
  const char* dx;
  const char* dy;
  const char* caption;  // nullptr: refused
};

class FrameCaptions : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(FrameCaptions, AreWrittenAsTypedOrRefused) {
  const CaptionCase& c = GetParam();
  auto caption = FrameCaption(c.speed, c.dx, c.dy);
  if (c.caption == nullptr) {
    EXPECT_FALSE(caption) << *caption;
  } else {
    EXPECT_EQ(caption, std::optional<std::string>(c.caption));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Captions, FrameCaptions,
    ::testing::Values(CaptionCase{"2", "-10", "0", "2:-10:0"}, CaptionCase{"0", "-0", "100", "0:-0:100"},
                      CaptionCase{"2", "-", "0", nullptr}, CaptionCase{"2", "5", "-", nullptr},
                      CaptionCase{"", "5", "0", nullptr}, CaptionCase{"2", "", "0", nullptr},
                      CaptionCase{"2", "5", "", nullptr}, CaptionCase{"-2", "5", "0", nullptr},
                      CaptionCase{"2", "1:2", "0", nullptr}));

}  // namespace
}  // namespace mf
