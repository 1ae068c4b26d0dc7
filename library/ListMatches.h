#pragma once
// Finding the passages of a search in the index's lists by term (Postings.h): each medium's lists
// of the query's terms merged per word and intersected, read a range of media at a time, in the
// library's order, until enough are found to rank.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "library/IndexDatabase.h"
#include "library/Postings.h"

namespace library {

// Ranking needs every passage found: a query that finds more than this many ranks the first
// ones found (in the library's order) and says there are more.
inline constexpr int kRankAll = 20000;

// The passages that hold a term of every word of a query, with what BM25 weighs in each: its
// length and place, and how often each word's terms stand in it. Read from the lists by term
// medium by medium in the library's order (media, then passages, by id), up to kRankAll + 1.
class Matches {
 public:
  // groups: for each word of the query, its terms.
  explicit Matches(const std::vector<QStringList>& groups)
      : groups_(groups.size()), runs_(groups.size()) {
    for (size_t g = 0; g < groups.size(); ++g) {
      for (const QString& term : groups[g]) {
        termGroups_[term].push_back(int(g));
        if (!terms_.contains(term)) terms_ << term;
      }
    }
    terms_.sort();
    held_.assign(groups.size(), 0);
  }

  const QStringList& Terms() const { return terms_; }
  size_t Found() const { return passages_.size(); }
  bool Full() const { return passages_.size() > size_t(kRankAll); }
  qint64 Passage(size_t i) const { return passages_[i].passage; }
  int Length(size_t i) const { return passages_[i].length; }
  int Place(size_t i) const { return passages_[i].place; }
  int Times(size_t i, size_t group) const { return times_[i * groups_.size() + group]; }
  // The passages of the media read that hold any term of the group.
  qint64 Held(size_t group) const { return held_[group]; }

  // The lists of one medium, all of its rows (of any of the query's terms); false when one of
  // them is damaged.
  bool AddMedium(const PostingRow* rows, size_t count);

 private:
  QStringList terms_;
  QHash<QString, std::vector<int>> termGroups_;
  std::vector<std::vector<Posting>> groups_;  // of the medium being added
  // Where each list of the medium being added begins in its group's, for each group.
  std::vector<std::vector<size_t>> runs_;
  std::vector<Posting> scratch_;   // kept, so that merging allocates once
  std::vector<Posting> passages_;  // found: their id, length and place
  std::vector<int> times_;         // found x groups
  std::vector<qint64> held_;
};

// Finds the passages of the media (ascending ids) that hold a term of every group, up to
// kRankAll + 1. The media are read a batch at a time, as many as should give that many (the
// terms' counts tell how common they are), and twice as many each time after, so that a common
// word reads the lists of one medium or two and a rare one those of every medium at once.
bool FindMatches(IndexDatabase& db, const QList<qint64>& media,
                 const std::vector<QHash<QString, qint64>>& groups, double pieces, Matches* found,
                 DbError* error);

}  // namespace library
