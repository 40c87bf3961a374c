#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace mf {

// The eleven pictures an address entry can show (0 to 10), drawn here so
// that they look the same at every size: four people in different colours,
// a pair, a house, an office, a heart, a star, a letter and a cat.
QPixmap DrawAddressIcon(int number, int size);

// The pictures at list size, in order; what the entry dialog's picture list
// offers and all three address windows show.
class AddressIcons {
 public:
  AddressIcons();
  // Icon 0 for a number out of range.
  const QIcon& Icon(int number) const;
  int Count() const { return static_cast<int>(icons_.size()); }

 private:
  std::vector<QIcon> icons_;
};

}  // namespace mf
