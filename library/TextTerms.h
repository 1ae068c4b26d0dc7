#pragma once
// The words of the library's search, cut alike for the index and for a query and on either
// backend: a text is cut into words (letters, digits and their marks; everything else separates
// them), each word folded (case, accents and other marks dropped, "ß" as "ss", as the transcript
// search folds it) and then cut to its stem by the Snowball stemmer of the text's language
// (Debian's libstemmer), so that "studies" finds "study", "Vorträge" finds "Vortrag" and "chevaux"
// finds "cheval". A language without a stemmer keeps its folded words whole. Both backends keep
// these terms as they are, in the lists of passages by term (Postings.h), so that a search finds
// the same passages on either.

#include <QString>
#include <QStringList>
#include <vector>

namespace library {

// A term is cut at this many characters: a run of letters that long is no word anyone types,
// and a key of the lists by term stays short.
inline constexpr int kMaxTermLength = 64;

// Letters, digits and the marks written with them make words; a character outside the basic
// plane is kept whole. The index's words and a query's are cut by this one rule.
bool IsWordCharacter(QChar c);

// One word of a text: where it stands (UTF-16 units) and its folded form.
struct TextWord {
  int start = 0;
  int length = 0;
  QString folded;
};

// The words of text, in order, each with its folded form (words that fold to nothing left out).
std::vector<TextWord> CutWords(const QString& text);

// A word folded as the index keeps it (case and accents dropped), at most kMaxTermLength long.
QString FoldWord(const QString& word);

// The Snowball algorithm for a transcript's language as its file names it ("ENGLISH", "french",
// "Deutsch"...), or empty when there is none.
QString StemmerFor(const QString& language);

// The term a folded word is indexed under in that stemmer's language (see StemmerFor); the word
// itself for an empty stemmer. Safe on any thread: each thread keeps stemmers of its own.
QString StemOf(const QString& folded, const QString& stemmer);

// The terms of a text in a language, one per word, in order.
QStringList TermsOf(const QString& text, const QString& stemmer);

// The number of single edits (a letter put in, left out, changed, or two neighbours swapped)
// between a and b, or limit + 1 when it is more than limit.
int EditDistance(const QString& a, const QString& b, int limit);

// How many edits a word of this length may be away from a word of the index and still be taken
// as a typo of it: none below four letters, one up to seven, two from eight.
int TyposAllowed(int length);

}  // namespace library
