#pragma once
// The hits of a search as a model for Hits_lst: one row per hit, best first, its columns the
// presentation, the medium, the moment, where it was found and the passage (the list draws a row
// whole with HitDelegate; the columns are what screen readers and tests read). Each hit's picture
// is the slide on screen at its moment, with that slide's title, from the PictureStore as the
// rows are drawn.

#include <QAbstractTableModel>
#include <QHash>
#include <vector>

#include "library/LibrarySearch.h"

namespace librarywindow {

class PictureStore;

class HitsModel : public QAbstractTableModel {
 public:
  enum Column { kHitTitle, kHitMedium, kHitMoment, kHitWhere, kHitSnippet, kHitColumns };
  enum Role {
    kMarkedSnippetRole = Qt::UserRole + 3,  // the passage as HTML, the words found marked
    kPictureRole = Qt::UserRole + 20,       // the slide at the moment (QImage)
    kPictureAskedRole,                      // true once the picture's answer has come
    kSlideTitleRole,                        // that slide's title, printable
  };

  explicit HitsModel(PictureStore* pictures, QObject* parent = nullptr);

  // A new search's hits, best first.
  void SetHits(std::vector<library::SearchHit> hits);
  const library::SearchHit* HitAt(const QModelIndex& index) const;
  int Count() const { return int(hits_.size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  void PictureArrived(const QString& key);

  PictureStore* pictures_;
  std::vector<library::SearchHit> hits_;
  QHash<QString, QList<int>> rowsOfPicture_;
};

}  // namespace librarywindow
