#include "mail/answer/MailImport.h"

#include "base/ShiftJis.h"

namespace mf {

std::optional<ArrivedMail> ImportMailFile(const MailStore& store, ReceivingHut& hut, RandomGenerator& random,
                                          const Clock& clock, const std::string& path) {
  if (!store.Prepare()) return std::nullopt;
  InboxIntake intake(store, hut, random, clock);
  ArrivedMail arrived;
  if (intake.StoreFile(path, arrived) != IntakeResult::Stored) return std::nullopt;
  return arrived;
}

const std::string& ImportFailureText() {
  static const std::string text = Sj("ファイルの内部形式が不正です");
  return text;
}

}  // namespace mf
