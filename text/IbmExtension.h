#pragma once

namespace mf {

// Code page 932 holds the IBM extension characters (Shift_JIS 0xFA40-0xFC4B)
// twice: the same characters also sit in the NEC-selected block
// (0xED40-0xEEFC), in NEC row 13 or in JIS X 0208 itself. Only those second
// codes have a JIS row and cell, so writers of JIS and EUC-JP use them.
// Returns the twin of an IBM extension code and any other code unchanged.
unsigned NecSelectedCode(unsigned sjisCode);

}  // namespace mf
