#pragma once
// The presentation model: the timeline of one recording held in memory. Lists are addressed
// from 1 and only ever grow by appending; the records are plain data.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "medium/Error.h"

// An ordered list addressed from 1, as the timeline's lists and list controls' owners expect.
// Counts and indexes are 16-bit, so a list holds at most 32767 entries.
template <class T>
class OneBasedList {
 public:
  int16_t Count() const { return static_cast<int16_t>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  // Entry k, 1 <= k <= Count(); anything else is "Subscript out of range".
  T& Item(int k) const {
    if (k < 1 || k > static_cast<int>(items_.size())) medium::RaiseSubscriptOutOfRange();
    return *items_[static_cast<size_t>(k - 1)];
  }
  T& Add(std::unique_ptr<T> item) {
    if (items_.size() >= 32767) medium::RaiseOverflow(QString::number(items_.size() + 1));
    items_.push_back(std::move(item));
    return *items_.back();
  }
  T& Add(T value) { return Add(std::make_unique<T>(std::move(value))); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

struct Slide_cls {
  double SlideTime = 0;
  QString SlidePres;
  int16_t SlideNum = 0;
  QString SlideName;

  void SetAttribs(double Time, const QString& Pres, int16_t Num, const QString& Name) {
    SlideTime = Time;
    SlidePres = Pres;
    SlideNum = Num;
    SlideName = Name;
  }
};

struct Ann_cls {
  double AnnTime = 0;
  int16_t AnnX = 0;
  int16_t AnnY = 0;
  int16_t AnnWidth = 0;
  int16_t AnnHeight = 0;
  int16_t AnnType = 0;
  int16_t AnnStyle = 0;
  int16_t AnnShape = 0;
  QString AnnText;
  QString AnnRed;
  QString AnnGreen;
  QString AnnBlue;
};

struct Tran_cls {
  double TranTime = 0;
  int16_t TranNum = 0;
  OneBasedList<QString> Languages;  // entry k: the language at list position k - 1
  QString TranStr;                  // kept for the record's shape; nothing uses it
};

struct Slides_cls {
  OneBasedList<Slide_cls> Slides;
};
struct Anns_cls {
  OneBasedList<Ann_cls> Anns;
};
struct Trans_cls {
  OneBasedList<Tran_cls> Trans;
};
