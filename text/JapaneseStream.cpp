#include "text/JapaneseStream.h"

namespace mf {
namespace {

// Detection looks at the first 512 bytes for binary data before anything
// else, so a start shorter than that cannot settle the code of a longer text.
constexpr std::size_t kFirstDetection = 513;

bool Decided(JapaneseCode code) { return code != jcAscii && code != jcEucOrSjis; }

}  // namespace

JapaneseCodeStream::Conversion JapaneseCodeStream::ConversionFor(JapaneseCode code, JapaneseCode target) {
  if (code == jcAscii || code == jcBinary || code == jcEucOrSjis || code == target) return Conversion::Keep;
  const bool isJis = code == jcJis || code == jcOldJis;
  switch (target) {
    case jcJis:
      if (code == jcEuc) return Conversion::EucToJis;
      if (code == jcSjis) return Conversion::SjisToJis;
      break;
    case jcEuc:
      if (isJis) return Conversion::JisToEuc;
      if (code == jcSjis) return Conversion::SjisToEuc;
      break;
    case jcSjis:
      if (isJis) return Conversion::JisToSjis;
      if (code == jcEuc) return Conversion::EucToSjis;
      break;
    default:
      break;
  }
  return Conversion::Keep;
}

std::string JapaneseCodeStream::Apply(Conversion conversion, std::string_view text, JisReadState& jis) {
  switch (conversion) {
    case Conversion::Keep: break;
    case Conversion::EucToJis: return EucToJis(text);
    case Conversion::SjisToJis: return SjisToJis(text);
    case Conversion::JisToEuc: return JisToEuc(text, jis);
    case Conversion::SjisToEuc: return SjisToEuc(text);
    case Conversion::JisToSjis: return JisToSjis(text, jis);
    case Conversion::EucToSjis: return EucToSjis(text);
  }
  return std::string(text);
}

std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target) {
  JisReadState jis;
  return JapaneseCodeStream::Apply(JapaneseCodeStream::ConversionFor(DetectJapaneseCode(text), target), text, jis);
}

JapaneseCodeStream::JapaneseCodeStream(JapaneseCode target) : target_(target), nextDetection_(kFirstDetection) {}

void JapaneseCodeStream::Settle(JapaneseCode code) {
  settled_ = true;
  conversion_ = ConversionFor(code, target_);
}

// Every converter starts afresh after a line break, except that JIS input
// carries its mode, which `jis_` keeps; so pieces are cut after their last
// line break and the rest waits for the next piece.
std::string JapaneseCodeStream::Put(std::string_view piece) {
  if (!settled_) {
    held_.append(piece);
    if (held_.size() < nextDetection_) return {};
    const JapaneseCode code = DetectJapaneseCode(held_);
    if (!Decided(code)) {
      nextDetection_ = held_.size() * 2;  // keeps repeated detection linear in the text
      return {};
    }
    Settle(code);
    piece = {};
  }
  if (conversion_ == Conversion::Keep) {
    std::string out = std::move(held_);
    held_.clear();
    out.append(piece);
    return out;
  }
  const std::size_t lastBreak = piece.find_last_of("\r\n");
  if (lastBreak == std::string_view::npos && !piece.empty()) {
    held_.append(piece);
    return {};
  }
  const std::size_t cut = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
  std::string out;
  if (held_.empty()) {
    out = Apply(conversion_, piece.substr(0, cut), jis_);
  } else {
    held_.append(piece.substr(0, cut));
    const std::size_t heldBreak = held_.find_last_of("\r\n");
    const std::size_t heldCut = heldBreak == std::string::npos ? 0 : heldBreak + 1;
    out = Apply(conversion_, std::string_view(held_).substr(0, heldCut), jis_);
    held_.erase(0, heldCut);
  }
  held_.append(piece.substr(cut));
  return out;
}

std::string JapaneseCodeStream::Finish() {
  if (!settled_) Settle(DetectJapaneseCode(held_));
  std::string out = Apply(conversion_, held_, jis_);
  held_.clear();
  return out;
}

}  // namespace mf
