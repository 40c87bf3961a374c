#include <gtest/gtest.h>

#include <regex>

#include "base/Identifiers.h"

namespace mf {
namespace {

DateTime At(int h, int mi, int s) {
  DateTime t;
  t.year = 2026;
  t.month = 3;
  t.day = 9;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return t;
}

TEST(MakeStamp, DigitsOfDateAndTimeWithTheHourUnpadded) {
  EXPECT_EQ(MakeStamp(At(1, 5, 9)), "202603091" "0509");
  EXPECT_EQ(MakeStamp(At(13, 5, 9)), "2026030913" "0509");
  EXPECT_EQ(MakeStamp(At(0, 0, 0)), "202603090" "0000");
}

TEST(MakeUniqueTail, HexWithAtLeastAsManyDigitsAsTheDecimalSum) {
  ScriptedRandom zeros;
  for (int i = 0; i < 17 * 13 + 1; ++i) zeros.Push(0);
  EXPECT_EQ(MakeUniqueTail(13, zeros), "0");

  // Every draw 12 (the largest below 13): sum = 222 * 12 * 32 = 85248 = 0x14d00,
  // five decimal digits, so the hex text is padded to five.
  ScriptedRandom twelves;
  for (int i = 0; i < 17 * 13 + 1; ++i) twelves.Push(12);
  EXPECT_EQ(MakeUniqueTail(13, twelves), "14d00");

  MersenneRandom random(3);
  std::string tail = MakeUniqueTail(13, random);
  EXPECT_TRUE(std::regex_match(tail, std::regex("[0-9a-f]+"))) << tail;
}

TEST(Identifiers, CharacterIdAndMessageIdShapes) {
  MersenneRandom random(11);
  std::string id = MakeCharacterId(At(9, 30, 0), random, "neko@example.jp");
  EXPECT_TRUE(std::regex_match(id, std::regex("<2026030993000\\.[0-9a-f]+neko@example\\.jp>"))) << id;
  std::string messageId = MakeMessageId(At(21, 30, 0), random, "smtp.example.jp");
  EXPECT_TRUE(std::regex_match(messageId, std::regex("<20260309213000\\.[0-9a-f]+@smtp\\.example\\.jp>")))
      << messageId;
  for (const char* server : {"::1", "[::1]"}) {
    messageId = MakeMessageId(At(21, 30, 0), random, server);
    EXPECT_TRUE(std::regex_match(messageId, std::regex("<20260309213000\\.[0-9a-f]+@\\[::1\\]>"))) << messageId;
  }
}

}  // namespace
}  // namespace mf
