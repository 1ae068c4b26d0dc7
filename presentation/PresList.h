#pragma once
// The presentations the launcher offers, in the order of the medium's configuration file.

#include <QString>

#include "presentation/Model.h"

// One presentation: the name shown to the user and its folder name on the medium.
struct Pres_cls {
  QString PresName;
  QString PresDir;
};

// Positions count from 1; records are only ever appended. The count of the file is a 16-bit
// number, so the list can never need more than the list holds.
struct PresArr_cls {
  OneBasedList<Pres_cls> arr;
};
