#pragma once
// Finding what a reader types in a transcript. Listeners type without accents and without minding
// case ("premiere" for "Première"), and transcripts of several languages mix both, so matching is
// done on a folded form of the text: case folded, accents and other combining marks dropped,
// compatibility forms (ligatures, full-width letters, non-breaking spaces) spelt plainly. Matches
// are given back in the positions of the text as shown, so they can be highlighted there.

#include <QList>
#include <QString>

namespace textsearch {

// Part of a text, in UTF-16 code units of the original text.
struct Match {
  int start = 0;
  int length = 0;
  friend bool operator==(const Match& a, const Match& b) {
    return a.start == b.start && a.length == b.length;
  }
};

// A folded text and, for every folded code unit, the part of the original it came from. A mark
// dropped in folding belongs to the unit before it, so a match ending in "e" also covers the
// accent written after it.
struct FoldedText {
  QString text;
  QList<int> from;  // start in the original of folded unit i
  QList<int> to;    // end (exclusive) in the original of folded unit i
};

FoldedText Fold(const QString& text);

// Only the folded text, for comparing two texts.
QString FoldedKey(const QString& text);

// Every place where needle occurs in haystack, case- and accent-blind, left to right and not
// overlapping. An empty needle (or one that folds to nothing) matches nowhere.
QList<Match> FindAll(const QString& haystack, const QString& needle);

}  // namespace textsearch
