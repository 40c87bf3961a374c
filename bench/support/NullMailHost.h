#pragma once

// The hut as the mail windows see it, with no characters to move or send.

#include <optional>
#include <string>

#include "mail/gui/MailHost.h"

namespace mf::bench {

class NullMailHost final : public MailHost {
 public:
  std::optional<CarrierPlace> PlaceOf(const CarrierRef&) const override { return std::nullopt; }
  void MoveCarrier(const CarrierRef&, ScreenPoint) override {}
  void BringCarrierIntoView(const CarrierRef&) override {}
  void RestoreCarrier(const CarrierRef&) override {}
  bool SendMailByCharacterId(const std::string&) override { return false; }
  void DepartWithMail(const std::string&) override {}
  ScreenPoint& MailPosition() override { return position_; }

 private:
  ScreenPoint position_{0, 0};
};

}  // namespace mf::bench
