#pragma once
// What a search of the library asks and finds. A query is cut into words (letters and digits;
// everything else separates them); a passage is found when it holds all the words, in any order,
// case- and accent-blind ("premiere" finds "Première"), the last word also as the beginning of a
// longer one, since it may still be being typed. Best hits come first (bm25: rare words and short
// passages count more, titles more than slide titles, slide titles more than the rest).

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "presentation/MediumLayout.h"
#include "presentation/TextSearch.h"

namespace library {

// A query no longer than this many words is searched whole; the words after them are left out
// (and the search says so), so that a pasted page cannot make one search run for minutes.
inline constexpr int kMaxQueryWords = 32;

struct Query {
  QStringList words;  // in the order typed, each once (compared case- and accent-blind)
  bool lastIsPrefix = false;
  bool shortened = false;  // words after kMaxQueryWords were left out
  bool IsEmpty() const { return words.isEmpty(); }
};

// Cuts what was typed into words. A query of punctuation alone has none.
Query ParseQuery(const QString& text);

// Where in a presentation a hit was found.
enum class Place { Title = 0, SlideTitle = 1, Transcript = 2, Details = 3, FreeText = 4 };

// "title", "slide title", "transcript (ENGLISH)", "details", "free text".
QString PlaceText(Place place, const QString& language = QString());

struct SearchHit {
  qint64 presentationId = 0;
  QString title;                              // the presentation's name in config.txt
  QString folder;                             // its folder on the medium
  QString mediumPath;                         // the medium's folder (native)
  QString mediumName;                         // the last part of it
  bool mediumPresent = true;                  // false: the medium was not found at the last update
  PlayerBuild player = PlayerBuild::Tavisco;  // Tavisco where it plays the presentation
  qint64 atMs = 0;  // the moment: a slide's or a section's time; 0 for the rest
  Place place = Place::Title;
  QString language;  // the transcript's language, for Place::Transcript
  QString snippet;   // the passage around the words found ("…" where it was cut)
  QList<textsearch::Match> highlights;  // the words found, in snippet's positions
  double score = 0;                     // lower is better (bm25)

  // The snippet with each word found between open and close (for a terminal "[" "]", for a
  // window "<b>" "</b>", the rest escaped by the caller's escape).
  QString MarkedSnippet(const QString& open, const QString& close,
                        QString (*escape)(const QString&) = nullptr) const;
};

struct SearchResult {
  Query query;
  // The words searched for, typos mended: a word that finds nothing is replaced by the nearest
  // word of the index's own vocabulary (one edit away from four letters on, two from eight).
  QStringList used;
  // "lighthuose → lighthouse" for each word replaced.
  QStringList corrections;
  // "lighthouse" when a word was replaced: the query the hits are for.
  QString UsedText() const { return used.join(u' '); }
  std::vector<SearchHit> hits;  // best first
  bool more = false;            // there were more hits than the limit asked for
  // False when the words were found in so many passages (over 20,000) that ranking them all
  // would keep the user waiting: the hits are then the first found in the library's order,
  // titles before slide titles before the rest, and more is set (another word narrows it).
  bool ranked = true;
  QString error;             // the index could not be searched (then no hits)
  bool unreachable = false;  // the index's server could not be reached or went away
  bool mended = false;       // the index was found damaged and made anew: update it, search again
};

// "m:ss" (or "h:mm:ss" from an hour on), as the players' control panel shows a moment.
QString FormatMoment(qint64 ms);

}  // namespace library
