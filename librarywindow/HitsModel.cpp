#include "librarywindow/HitsModel.h"

#include <QDir>

#include "librarywindow/SlidePictures.h"
#include "medium/PrintableText.h"

namespace librarywindow {

namespace {

// The passage is cut around the words found already; this only stops what damage makes long.
constexpr int kPassageChars = 1000;

QString EscapedPrintable(const QString& text) {
  return medium::PrintableText(text, kPassageChars).toHtmlEscaped();
}

PictureRequest RequestOf(const library::SearchHit& hit) {
  return {hit.mediumPath, hit.folder, hit.atMs};
}

QString TitleOf(const library::SearchHit& hit) {
  return medium::PrintableText(hit.title.trimmed().isEmpty() ? hit.folder : hit.title);
}

QString MediumOf(const library::SearchHit& hit) {
  const QString name = medium::PrintableText(hit.mediumName);
  return hit.mediumPresent ? name : QStringLiteral("%1 (absent)").arg(name);
}

}  // namespace

HitsModel::HitsModel(PictureStore* pictures, QObject* parent)
    : QAbstractTableModel(parent), pictures_(pictures) {
  if (pictures_) connect(pictures_, &PictureStore::arrived, this, &HitsModel::PictureArrived);
}

void HitsModel::SetHits(std::vector<library::SearchHit> hits) {
  beginResetModel();
  hits_ = std::move(hits);
  rowsOfPicture_.clear();
  for (size_t k = 0; k < hits_.size(); ++k) rowsOfPicture_[RequestOf(hits_[k]).Key()] << int(k);
  endResetModel();
}

const library::SearchHit* HitsModel::HitAt(const QModelIndex& index) const {
  if (!index.isValid() || index.row() < 0 || size_t(index.row()) >= hits_.size()) return nullptr;
  return &hits_[size_t(index.row())];
}

void HitsModel::PictureArrived(const QString& key) {
  const auto it = rowsOfPicture_.constFind(key);
  if (it == rowsOfPicture_.constEnd()) return;
  for (int row : *it) {
    emit dataChanged(index(row, kHitTitle), index(row, kHitTitle),
                     {kPictureRole, kPictureAskedRole, kSlideTitleRole, Qt::AccessibleTextRole});
  }
}

int HitsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(hits_.size());
}

int HitsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHitColumns;
}

QVariant HitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  switch (section) {
    case kHitTitle:
      return QStringLiteral("Presentation");
    case kHitMedium:
      return QStringLiteral("Medium");
    case kHitMoment:
      return QStringLiteral("Moment");
    case kHitWhere:
      return QStringLiteral("Where");
    case kHitSnippet:
      return QStringLiteral("Found");
    default:
      return QVariant();
  }
}

QVariant HitsModel::data(const QModelIndex& index, int role) const {
  const library::SearchHit* hit = HitAt(index);
  if (!hit) return QVariant();
  const auto view = [&]() -> const SlideView* {
    return pictures_ ? pictures_->Find(RequestOf(*hit)) : nullptr;
  };
  switch (index.column()) {
    case kHitTitle:
      switch (role) {
        case Qt::DisplayRole:
          return TitleOf(*hit);
        case Qt::ToolTipRole:
          return QStringLiteral("%1\n%2").arg(TitleOf(*hit),
                                              QDir::toNativeSeparators(hit->mediumPath));
        case Qt::AccessibleTextRole: {
          // The row read out whole: a screen reader sees one item per hit.
          QString text = QStringLiteral("%1, %2, at %3")
                             .arg(TitleOf(*hit), MediumOf(*hit), library::FormatMoment(hit->atMs));
          if (const SlideView* v = view(); v && !v->slideTitle.isEmpty())
            text +=
                QStringLiteral(", slide \u201c%1\u201d").arg(medium::PrintableText(v->slideTitle));
          return text +
                 QStringLiteral(". %1: %2")
                     .arg(medium::PrintableText(library::PlaceText(hit->place, hit->language)),
                          medium::PrintableText(hit->snippet, kPassageChars));
        }
        case kPictureRole: {
          const SlideView* v = view();
          return v ? QVariant(v->picture) : QVariant();
        }
        case kPictureAskedRole:
          return pictures_ && view() != nullptr;
        case kSlideTitleRole: {
          const SlideView* v = view();
          return v ? medium::PrintableText(v->slideTitle) : QString();
        }
        default:
          return QVariant();
      }
    case kHitMedium:
      if (role == Qt::DisplayRole) return MediumOf(*hit);
      if (role == Qt::ToolTipRole) return QDir::toNativeSeparators(hit->mediumPath);
      return QVariant();
    case kHitMoment:
      if (role == Qt::DisplayRole) return library::FormatMoment(hit->atMs);
      if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant();
    case kHitWhere:
      if (role == Qt::DisplayRole)
        return medium::PrintableText(library::PlaceText(hit->place, hit->language));
      return QVariant();
    case kHitSnippet:
      if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return medium::PrintableText(hit->snippet, kPassageChars);
      if (role == kMarkedSnippetRole) {
        return hit->MarkedSnippet(
            QStringLiteral("<b style=\"background-color:#ffe066;color:#000000\">"),
            QStringLiteral("</b>"), &EscapedPrintable);
      }
      return QVariant();
    default:
      return QVariant();
  }
}

}  // namespace librarywindow
