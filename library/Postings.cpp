#include "library/Postings.h"

#include <algorithm>
#include <cmath>

namespace library {

namespace {

template <typename Bytes>
void AppendTo(Bytes& out, quint64 n) {
  while (n >= 0x80) {
    out.push_back(static_cast<typename Bytes::value_type>(quint8(n | 0x80)));
    n >>= 7;
  }
  out.push_back(static_cast<typename Bytes::value_type>(quint8(n)));
}

}  // namespace

void AppendVarint(QByteArray& out, quint64 n) {
  AppendTo(out, n);
}

void AppendVarint(std::vector<quint8>& out, quint64 n) {
  AppendTo(out, n);
}

namespace {

// Kept in this file, where the compiler inlines it into the decoding loop.
inline bool NextVarint(const quint8*& p, const quint8* end, quint64* n) {
  if (p < end && !(*p & 0x80)) {  // most numbers of a list fit in one byte
    *n = *p++;
    return true;
  }
  quint64 value = 0;
  for (int shift = 0; p < end && shift < 64; shift += 7) {
    const quint8 b = *p++;
    value |= quint64(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      *n = value;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadVarint(const quint8*& p, const quint8* end, quint64* n) {
  return NextVarint(p, end, n);
}

void AppendPosting(QByteArray& list, qint64* last, const Posting& posting) {
  AppendVarint(list, quint64(posting.passage - *last));
  AppendVarint(list, quint64(posting.length) * kPlaces + quint64(posting.place));
  AppendVarint(list, quint64(posting.times));
  *last = posting.passage;
}

bool DecodePostings(const quint8* list, qsizetype size, std::vector<Posting>* out) {
  const quint8* p = list;
  const quint8* end = p + size;
  // Three bytes a passage at the least.
  out->reserve(out->size() + size_t(size / 3));
  qint64 at = 0;
  while (p < end) {
    quint64 step = 0;
    quint64 shape = 0;
    quint64 times = 0;
    if (!NextVarint(p, end, &step) || !NextVarint(p, end, &shape) || !NextVarint(p, end, &times))
      return false;
    at += qint64(step);
    out->push_back(Posting{at, int(shape / kPlaces), int(shape % kPlaces),
                           int(std::min<quint64>(times, 1u << 20))});
  }
  return true;
}

void SumTimesByPassage(std::vector<Posting>* list) {
  size_t out = 0;
  for (size_t i = 0; i < list->size(); ++i) {
    const Posting& p = (*list)[i];
    if (out > 0 && (*list)[out - 1].passage == p.passage) {
      (*list)[out - 1].times += p.times;
    } else {
      (*list)[out++] = p;
    }
  }
  list->resize(out);
}

double Idf(double rows, double hits) {
  const double idf = std::log((rows - hits + 0.5) / (hits + 0.5));
  return idf <= 0.0 ? 1e-6 : idf;
}

double Bm25Part(double idf, double frequency, double length, double averageLength) {
  return idf *
         ((frequency * (kK1 + 1.0)) / (frequency + kK1 * (1 - kB + kB * length / averageLength)));
}

}  // namespace library
