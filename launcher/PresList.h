#pragma once
// The presentations the launcher offers, in the order of the medium's configuration file.

#include <QString>
#include <cstdint>
#include <vector>

#include "medium/Error.h"

// One presentation: the name shown to the user and its folder name on the medium.
struct Pres_cls {
  QString PresName;
  QString PresDir;
};

// Positions count from 1; records are only ever appended.
class PresCollection {
 public:
  int16_t Count() const { return static_cast<int16_t>(items_.size()); }
  const Pres_cls& Item(int k) const {
    if (k < 1 || k > static_cast<int>(items_.size())) medium::RaiseSubscriptOutOfRange();
    return items_[static_cast<size_t>(k - 1)];
  }
  void Add(Pres_cls pres) {
    // The count of the file is a 16-bit number, so the list can never need more.
    if (items_.size() >= 32767) medium::RaiseOverflow(QString::number(items_.size() + 1));
    items_.push_back(std::move(pres));
  }

 private:
  std::vector<Pres_cls> items_;
};

struct PresArr_cls {
  PresCollection arr;
};
