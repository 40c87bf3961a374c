#pragma once

#include <string>

namespace mf {

// A point on the screen.
struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

// What a desktop character window asks of the hut that lists it. The
// character knows its own slot and id; the hut owns the lists.
class CharacterHost {
 public:
  virtual ~CharacterHost() = default;

  // Brings the character in slot `index` home (hides its window).
  virtual void ReturnHome(int index) = 0;

  // Writes a mail carried by the first listed character with this id;
  // nothing when no listed character has it.
  virtual void SendMailByCharacter(const std::string& id) = 0;

  // The screen point where a character stands while it presents or carries
  // a mail. The character corrects it in place when it lies off the screen.
  virtual ScreenPoint& MailPosition() = 0;
};

// A mail position beyond the screen (the screen got smaller since it was
// stored) moves to the screen centre, each coordinate on its own; a point
// up to one picture beyond the top or left edge still counts as on screen.
inline ScreenPoint CorrectMailPosition(ScreenPoint point, int screenWidth, int screenHeight,
                                       int pictureWidth, int pictureHeight) {
  if (point.x > screenWidth || point.x < -pictureWidth) point.x = screenWidth / 2;
  if (point.y > screenHeight || point.y < -pictureHeight) point.y = screenHeight / 2;
  return point;
}

}  // namespace mf
