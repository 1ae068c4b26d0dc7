#pragma once
// The index's lists of passages by term, and the ranking computed over them: one form for the
// index on either backend and for the collection's site, so that all three find and rank alike.
//
// A list holds, for one term of one medium's passages (or, on the site, of the whole
// collection), each passage that holds it, in the order of their ids: the id as its distance from
// the one before, the passage's length and place as length * 5 + place, and how often the term
// stands in it. Numbers are varints: seven bits a byte, the high bit saying more follow.

#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace library {

void AppendVarint(QByteArray& out, quint64 n);
void AppendVarint(std::vector<quint8>& out, quint64 n);
// Reads one number at p and moves p past it; false when the bytes end before it does.
bool ReadVarint(const quint8*& p, const quint8* end, quint64* n);

inline constexpr int kPlaces = 5;

struct Posting {
  qint64 passage = 0;
  int length = 0;  // the passage's words
  int place = 0;   // Place, 0 to kPlaces - 1
  int times = 0;   // how often the term stands in it
};

// Appends one passage to a list whose last passage was *last (0 for a new list).
void AppendPosting(QByteArray& list, qint64* last, const Posting& posting);
// The passages of a list, appended to out; false when the list is damaged (what could be read
// is kept).
bool DecodePostings(const quint8* list, qsizetype size, std::vector<Posting>* out);
inline bool DecodePostings(const QByteArray& list, std::vector<Posting>* out) {
  return DecodePostings(reinterpret_cast<const quint8*>(list.constData()), list.size(), out);
}
// The lists of several terms merged in the order of their passages, where a passage stands
// once for each term: each passage once, with the times of all of them together.
void SumTimesByPassage(std::vector<Posting>* list);

// BM25 as SQLite's FTS5 and most search engines take it: how soon a word's repeats stop counting
// and how much a passage's length weighs; a word in a title says more about a talk than in a
// slide's title, and that more than in a section.
inline constexpr double kK1 = 1.2;
inline constexpr double kB = 0.75;
inline constexpr double kPlaceWeight[kPlaces] = {4.0, 2.0, 1.0, 1.0, 1.0};

// How rare a word found in hits of rows passages is; a word in more than half of them still
// counts a little, as in FTS5.
double Idf(double rows, double hits);
// The part of a passage's score one word of the query gives: frequency is the weight of its
// place for each time the word stands there. Operation for operation as FTS5 computes it, so
// that equal passages tie exactly and fall back to the library's order wherever it is computed.
// Higher is better.
double Bm25Part(double idf, double frequency, double length, double averageLength);

}  // namespace library
