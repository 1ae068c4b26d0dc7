#include "library/ListMatches.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace library {

namespace {

// Merges the sorted runs of list (each begins at one of starts) into one sorted list, pairs of
// neighbours at a time: a word of many terms (the words a beginning begins) costs n log k, not
// n k as merging each list into all those before it did.
void MergeRuns(std::vector<Posting>* list, std::vector<size_t>* starts,
               std::vector<Posting>* scratch) {
  const auto byPassage = [](const Posting& a, const Posting& b) { return a.passage < b.passage; };
  while (starts->size() > 1) {
    scratch->resize(list->size());
    std::vector<size_t> merged;
    for (size_t r = 0; r < starts->size(); r += 2) {
      const size_t from = (*starts)[r];
      const size_t middle = r + 1 < starts->size() ? (*starts)[r + 1] : list->size();
      const size_t to = r + 2 < starts->size() ? (*starts)[r + 2] : list->size();
      std::merge(list->begin() + qsizetype(from), list->begin() + qsizetype(middle),
                 list->begin() + qsizetype(middle), list->begin() + qsizetype(to),
                 scratch->begin() + qsizetype(from), byPassage);
      merged.push_back(from);
    }
    list->swap(*scratch);
    starts->swap(merged);
  }
}

}  // namespace

bool Matches::AddMedium(const PostingRow* rows, size_t count) {
  const size_t groups = groups_.size();
  for (size_t g = 0; g < groups; ++g) {
    groups_[g].clear();
    runs_[g].clear();
  }
  for (size_t r = 0; r < count; ++r) {
    const auto at = termGroups_.constFind(rows[r].term);
    if (at == termGroups_.cend()) continue;
    // Straight into the first word's list; a term two words stand for is copied to the other.
    std::vector<Posting>& first = groups_[size_t(at->front())];
    const size_t from = first.size();
    if (!DecodePostings(rows[r].list, &first)) return false;
    runs_[size_t(at->front())].push_back(from);
    for (size_t k = 1; k < at->size(); ++k) {
      const size_t g = size_t((*at)[k]);
      runs_[g].push_back(groups_[g].size());
      groups_[g].insert(groups_[g].end(), first.begin() + qsizetype(from), first.end());
    }
  }
  // Each word's passages once, with the times of all its terms together (a list of one term
  // holds each passage once already).
  for (size_t g = 0; g < groups; ++g) {
    std::vector<Posting>& list = groups_[g];
    const bool several = runs_[g].size() >= 2;
    MergeRuns(&list, &runs_[g], &scratch_);
    if (several) SumTimesByPassage(&list);
    held_[g] += qint64(list.size());
  }
  // The passages in every word's list: the shortest list leads, the others are walked beside
  // it.
  size_t lead = 0;
  for (size_t g = 1; g < groups; ++g) {
    if (groups_[g].size() < groups_[lead].size()) lead = g;
  }
  std::vector<size_t> at(groups, 0);
  for (const Posting& p : groups_[lead]) {
    if (Full()) break;
    bool all = true;
    for (size_t g = 0; g < groups && all; ++g) {
      if (g == lead) continue;
      const std::vector<Posting>& list = groups_[g];
      size_t& k = at[g];
      while (k < list.size() && list[k].passage < p.passage) ++k;
      all = k < list.size() && list[k].passage == p.passage;
    }
    if (!all) continue;
    passages_.push_back(p);
    for (size_t g = 0; g < groups; ++g)
      times_.push_back(g == lead ? p.times : groups_[g][at[g]].times);
  }
  return true;
}

// Finds the passages of the media (ascending ids) that hold a term of every group, up to
// kRankAll + 1. The media are read a batch at a time, as many as should give that many (the
// terms' counts tell how common they are), and twice as many each time after, so that a common
// word reads the lists of one medium or two and a rare one those of every medium at once.
bool FindMatches(IndexDatabase& db, const QList<qint64>& media,
                 const std::vector<QHash<QString, qint64>>& groups, double pieces, Matches* found,
                 DbError* error) {
  double expected = media.isEmpty() ? 0 : pieces / double(media.size());
  for (const QHash<QString, qint64>& g : groups) {
    double held = 0;
    for (auto it = g.cbegin(); it != g.cend(); ++it) held += double(it.value());
    expected *= pieces > 0 ? std::min(1.0, held / pieces) : 1.0;
  }
  qsizetype batch = expected > 0 ? qsizetype(std::ceil(1.25 * (kRankAll + 1) / expected)) : 1;
  const QSet<qint64> searched(media.cbegin(), media.cend());
  std::vector<PostingRow> rows;
  const qint64 block = db.MediaPerBlock();
  for (qsizetype from = 0; from < media.size() && !found->Full();) {
    batch = std::clamp<qsizetype>(batch, 1, media.size() - from);
    // To the end of the last medium's block: the next batch would read its row again.
    while (from + batch < media.size() &&
           media[from + batch] / block == media[from + batch - 1] / block)
      ++batch;
    rows.clear();
    // The media between are read too when only some are searched, and left out here.
    if (!db.ReadPostings(found->Terms(), media[from], media[from + batch - 1], &rows, error))
      return false;
    for (size_t i = 0; i < rows.size() && !found->Full();) {
      size_t j = i;
      while (j < rows.size() && rows[j].medium == rows[i].medium) ++j;
      if (!searched.contains(rows[i].medium)) {
        i = j;
        continue;
      }
      if (!found->AddMedium(rows.data() + i, j - i)) {
        *error = DbError{DbFailure::Damaged,
                         QStringLiteral("a list of the index's passages is damaged")};
        return false;
      }
      i = j;
    }
    from += batch;
    batch *= 2;
  }
  return true;
}

}  // namespace library
