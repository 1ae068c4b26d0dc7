#pragma once
// How the library window draws its rows.
//   TitleDelegate: the title column of Media_tree. A presentation as its picture (the first
//     slide) beside its title, elided in the middle when the column is narrow, over the first
//     line of its details; a medium's row as it is.
//   HitDelegate: a row of Hits_lst. The slide on screen at the hit's moment beside the title and
//     the moment, the slide's title with where it was found and the medium, and the passage with
//     the words found marked.
// Nothing is read here: the models hand over what they have, and ask for pictures not yet read.

#include <QStyledItemDelegate>

namespace librarywindow {

class TitleDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  static constexpr int kPictureWidth = 64;
  static constexpr int kPictureHeight = 48;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class HitDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  static constexpr int kPictureWidth = 96;
  static constexpr int kPictureHeight = 72;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace librarywindow
