#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/Jconvert.h"
#include "text/JisPieces.h"

namespace mf {

// ConvertJapaneseCode for a text that arrives in pieces, such as a large file
// read in blocks: the pieces' results joined are what converting the whole
// text gives, while only the last unfinished line is held back. The input's
// code is settled as soon as the start of the text decides it; a start that
// decides nothing (ASCII, or bytes both EUC-JP and Shift_JIS allow) is held
// until more text does, or the text ends.
class JapaneseCodeStream {
 public:
  explicit JapaneseCodeStream(JapaneseCode target);

  // The converted text of what can be converted so far.
  std::string Put(std::string_view piece);
  // The rest, once the input has ended.
  std::string Finish();

 private:
  enum class Conversion { Keep, EucToJis, SjisToJis, JisToEuc, SjisToEuc, JisToSjis, EucToSjis };
  friend std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target);

  static Conversion ConversionFor(JapaneseCode code, JapaneseCode target);
  static std::string Apply(Conversion conversion, std::string_view text, JisReadState& jis);
  void Settle(JapaneseCode code);

  JapaneseCode target_;
  bool settled_ = false;
  Conversion conversion_ = Conversion::Keep;
  std::size_t nextDetection_;
  std::string held_;
  JisReadState jis_;
};

}  // namespace mf
