#pragma once

#include <optional>
#include <string>
#include <string_view>

// Parameters of a structured MIME header field ("Content-Type",
// "Content-Disposition"), including RFC 2231 extended and continued values.
namespace mf::mimedec {

struct MimeParameter {
  std::string value;    // bytes as sent: quotes removed, %XX of extended values decoded
  std::string charset;  // lower case, from an RFC 2231 extended value; empty otherwise
};

// The parameter `name` (ASCII case ignored) of a whole header line
// ("Content-Disposition: attachment; filename=x"), its folds already joined.
// An extended value ("name*=", "name*0*=", "name*1=" ...) wins over a plain
// one, continuations are joined in the order of their numbers. Nothing when
// the line has no such parameter.
std::optional<MimeParameter> FindMimeParameter(std::string_view headerLine, std::string_view name);

// The first token of the field's value in lower case ("attachment", "text/plain").
std::string FieldFirstToken(std::string_view headerLine);

// The field name of a header line in lower case, or empty when the line has
// no colon.
std::string FieldName(std::string_view headerLine);

}  // namespace mf::mimedec
