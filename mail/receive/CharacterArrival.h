#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mail/receive/AnsweredMail.h"
#include "mail/store/MailStore.h"

namespace mf {

// What receiving needs from the hut's character registry. The hut window
// implements it over its lists and rules; mftool over the registry files.
class ReceivingHut {
 public:
  virtual ~ReceivingHut() = default;
  // charDB: folder number and id lines in pairs.
  virtual const std::vector<std::string>& CharDB() const = 0;
  virtual const std::vector<std::string>& VisibleDB() const = 0;
  // Lists a known character in the hut again; false when it cannot be.
  virtual bool ShowAgain(const std::string& number, const std::string& id) = 0;
  // Records a character newly unpacked into folder pair `number`.
  virtual void RegisterCharacter(int number, const std::string& id) = 0;
};

// The character chosen to present a received mail.
struct DeliveringCharacter {
  std::string id;                       // empty when the hut has none to give
  std::optional<AnsweredMail> answered;  // for the return notice
  int arrivedFolder = 0;                // the folder pair a new character was unpacked into, or 0
};

// Chooses who presents a mail: the character it carries when the hut knows
// it; else a character packed into it, unpacked into the next free folder
// pair and registered; else the character that carried the sent mail it
// answers; else the first visible character.
DeliveringCharacter SelectDeliveringCharacter(ReceivingHut& hut, const MailStore& store,
                                              const std::string& carriedId,
                                              const std::vector<std::string>& packageFiles,
                                              const std::string& references, const std::string& inReplyTo);

// Writes each "image" + i + ".bmp" of `folder` (i from 1 to the count on
// line 4 of its scene.txt) mirrored left to right as "image" + i + "r.bmp"
// into `mirrorFolder`. True when the count is at least 1 and every picture
// up to it was mirrored; a picture that is missing is passed over.
bool MirrorCharacterImages(const std::string& folder, const std::string& mirrorFolder);

}  // namespace mf
