#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

class LiveSettings;

// What the settings dialog and the address entry dialog accept. Each rule
// gives the text shown beside a refused field (Shift_JIS), or nothing.

// A port: empty (the usual port of the chosen encryption) or a number from
// 1 to 65535.
std::optional<std::string> PortProblem(std::string_view port);

// A mail address: empty (not given yet) or text before and after an "@",
// without blanks, control characters or the "<", ">" and "," that would
// split a recipient list. The text names what is wrong: no "@", a
// character that may not be used, or nothing on one side of the "@".
std::optional<std::string> MailAddressProblem(std::string_view address);

// Every text a refused port or address is named with (Shift_JIS), so that a
// dialog can keep room for the widest before any shows.
std::vector<std::string> ProblemTexts();

// The fields of the settings that can be refused.
enum class SettingsField { SmtpPort, Pop3Port, MailAddress };

struct SettingsProblem {
  SettingsField field;
  std::string text;  // Shift_JIS, shown beside the field
};

// Every refused field of `settings`: the port rule for both ports, the
// address rule for the sender's address, and an SMTP port that is the
// POP3 port of the same server (the two protocols cannot share a port).
std::vector<SettingsProblem> CheckSettings(const LiveSettings& settings);

}  // namespace mf
