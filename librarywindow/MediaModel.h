#pragma once
// The media of the shelf with their presentations, as a tree model for Media_tree: a medium's row
// (its name, absent or not, its count of problems) with a row per presentation under it (title
// with its first slide's picture and the first line of its details, folder, length, slides,
// languages, player). Texts read from the medium are shown printable.
//
// A new listing (after an update) is merged into the rows there: media kept stay where they are
// and are updated in place, new ones are inserted and gone ones removed, so that what is current,
// open and in view stays. Pictures and details come from the PictureStore as the rows are drawn.

#include <QAbstractItemModel>
#include <QHash>
#include <QSortFilterProxyModel>
#include <memory>
#include <vector>

#include "library/LibraryIndex.h"

namespace librarywindow {

class PictureStore;

class MediaModel : public QAbstractItemModel {
 public:
  enum Column { kTitle, kFolder, kLength, kSlides, kLanguages, kPlayer, kColumns };
  enum Role {
    kSortRole = Qt::UserRole + 10,  // what a column sorts by
    kDetailsRole,                   // a presentation's first line of details, printable
    kPictureRole,                   // its picture (QImage), asked for when first drawn
    kPictureAskedRole,              // true once the picture's answer has come (null or not)
    kIsMediumRole,                  // true on a medium's row
  };

  explicit MediaModel(PictureStore* pictures, QObject* parent = nullptr);
  ~MediaModel() override;

  // Takes a new listing (as LibraryIndex::Media gives it), merged into the rows there.
  void SetMedia(std::vector<library::MediumEntry> media);

  // The medium a row belongs to (a presentation's too), and the presentation of a row (nullptr
  // on a medium's row); the index is the model's own.
  const library::MediumEntry* MediumAt(const QModelIndex& index) const;
  const library::PresentationEntry* PresentationAt(const QModelIndex& index) const;
  // The row of a presentation (folder empty: of the medium), or an invalid index.
  QModelIndex Find(const QString& mediumPath, const QString& folder) const;
  int MediaCount() const { return int(media_.size()); }
  int PresentationCount() const;
  int AbsentCount() const;

  // "disc1", "disc2 — absent", "disc3 — 9 problems".
  static QString MediumText(const library::MediumEntry& medium);
  // "Tavisco (also Norvanta)", "Norvanta", "none (no recording)".
  static QString PlayerText(const library::PresentationEntry& presentation);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Node;
  Node* NodeOf(const QModelIndex& index) const;
  void Update(int row, library::MediumEntry entry);
  void Renumber();
  void PictureArrived(const QString& key);
  QVariant MediumData(const Node& node, int column, int role) const;
  QVariant PresentationData(const Node& node, int row, int column, int role) const;

  PictureStore* pictures_;
  std::vector<std::unique_ptr<Node>> media_;
  QHash<QString, Node*> byPath_;  // the media by path, as Renumber leaves them
};

// Sorting Media_tree by a column keeps the media together: a medium's rows stay under it, the
// media by name, the presentations of each by the column (title, length, ...). With no column
// chosen the order is the index's: media by path, presentations as config.txt lists them.
class MediaSortModel : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace librarywindow
