#include "librarywindow/MediaModel.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QStyle>

#include "librarywindow/ProblemGroups.h"
#include "librarywindow/SlidePictures.h"
#include "medium/PrintableText.h"

namespace librarywindow {

namespace {

// A tooltip may show a long title whole; beyond this it is damage, not a title.
constexpr int kWholeTitleChars = 2000;

QString Count(qsizetype n, const char* word) {
  return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word), n == 1 ? "" : "s");
}

QString TitleOf(const library::PresentationEntry& p) {
  return p.title.trimmed().isEmpty() ? p.folder : p.title;
}

PictureRequest RequestOf(const library::MediumEntry& m, const library::PresentationEntry& p) {
  return {m.path, p.folder, -1};
}

bool SameFolders(const library::MediumEntry& a, const library::MediumEntry& b) {
  if (a.presentations.size() != b.presentations.size()) return false;
  for (size_t k = 0; k < a.presentations.size(); ++k)
    if (a.presentations[k].folder != b.presentations[k].folder) return false;
  return true;
}

}  // namespace

struct MediaModel::Node {
  library::MediumEntry entry;
  int row = 0;
};

MediaModel::MediaModel(PictureStore* pictures, QObject* parent)
    : QAbstractItemModel(parent), pictures_(pictures) {
  if (pictures_) connect(pictures_, &PictureStore::arrived, this, &MediaModel::PictureArrived);
}

MediaModel::~MediaModel() = default;

QString MediaModel::MediumText(const library::MediumEntry& medium) {
  QString text = medium::PrintableText(medium.name);
  if (!medium.present) text += QStringLiteral(" \u2014 absent");
  if (const int n = ProblemCount(medium)) text += QStringLiteral(" \u2014 ") + Count(n, "problem");
  return text;
}

QString MediaModel::PlayerText(const library::PresentationEntry& p) {
  if (p.tavisco && p.norvanta) return QStringLiteral("Tavisco (also Norvanta)");
  if (p.tavisco) return QStringLiteral("Tavisco");
  if (p.norvanta) return QStringLiteral("Norvanta");
  return QStringLiteral("none (no recording)");
}

// ---- the listing -------------------------------------------------------------------------------

void MediaModel::SetMedia(std::vector<library::MediumEntry> media) {
  QHash<QString, size_t> incoming;
  for (size_t i = 0; i < media.size(); ++i) incoming.insert(media[i].path, i);

  // The media gone, a run of rows at a time.
  for (int last = int(media_.size()) - 1; last >= 0;) {
    if (incoming.contains(media_[size_t(last)]->entry.path)) {
      --last;
      continue;
    }
    int first = last;
    while (first > 0 && !incoming.contains(media_[size_t(first - 1)]->entry.path)) --first;
    beginRemoveRows(QModelIndex(), first, last);
    media_.erase(media_.begin() + first, media_.begin() + last + 1);
    Renumber();
    endRemoveRows();
    last = first - 1;
  }

  // The media kept come in the order they stand in; anything else is listed anew.
  QHash<QString, int> kept;
  for (const auto& node : media_) kept.insert(node->entry.path, node->row);
  int expected = 0;
  bool ordered = true;
  for (const library::MediumEntry& m : media) {
    const auto it = kept.constFind(m.path);
    if (it == kept.constEnd()) continue;
    if (*it != expected++) ordered = false;
  }
  if (!ordered) {
    beginResetModel();
    media_.clear();
    for (library::MediumEntry& m : media) {
      media_.push_back(std::make_unique<Node>());
      media_.back()->entry = std::move(m);
    }
    Renumber();
    endResetModel();
    return;
  }

  // Kept ones updated where they stand, new ones inserted before them a run at a time.
  size_t row = 0;
  for (size_t i = 0; i < media.size();) {
    if (row < media_.size() && media_[row]->entry.path == media[i].path) {
      Update(int(row), std::move(media[i]));
      ++row;
      ++i;
      continue;
    }
    size_t end = i;
    while (end < media.size() && !kept.contains(media[end].path)) ++end;
    beginInsertRows(QModelIndex(), int(row), int(row + (end - i) - 1));
    for (size_t k = i; k < end; ++k) {
      auto node = std::make_unique<Node>();
      node->entry = std::move(media[k]);
      media_.insert(media_.begin() + qsizetype(row + (k - i)), std::move(node));
    }
    Renumber();
    endInsertRows();
    row += end - i;
    i = end;
  }
}

void MediaModel::Update(int row, library::MediumEntry entry) {
  Node& node = *media_[size_t(row)];
  const QModelIndex parent = index(row, 0);
  if (SameFolders(node.entry, entry)) {
    node.entry = std::move(entry);
  } else {
    if (!node.entry.presentations.empty()) {
      beginRemoveRows(parent, 0, int(node.entry.presentations.size()) - 1);
      node.entry.presentations.clear();
      endRemoveRows();
    }
    std::vector<library::PresentationEntry> presentations = std::move(entry.presentations);
    entry.presentations.clear();
    node.entry = std::move(entry);
    if (!presentations.empty()) {
      beginInsertRows(parent, 0, int(presentations.size()) - 1);
      node.entry.presentations = std::move(presentations);
      endInsertRows();
    }
  }
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
  if (!node.entry.presentations.empty()) {
    emit dataChanged(index(0, 0, parent),
                     index(int(node.entry.presentations.size()) - 1, kColumns - 1, parent));
  }
}

void MediaModel::Renumber() {
  byPath_.clear();
  for (size_t r = 0; r < media_.size(); ++r) {
    media_[r]->row = int(r);
    byPath_.insert(media_[r]->entry.path, media_[r].get());
  }
}

void MediaModel::PictureArrived(const QString& key) {
  const QStringList parts = key.split(u'\n');
  if (parts.size() != 3 || parts[2] != QStringLiteral("-1")) return;  // a hit's picture
  const Node* node = byPath_.value(parts[0]);
  if (!node) return;
  const QModelIndex parent = index(node->row, 0);
  for (size_t p = 0; p < node->entry.presentations.size(); ++p) {
    if (node->entry.presentations[p].folder != parts[1]) continue;
    const QModelIndex cell = index(int(p), kTitle, parent);
    emit dataChanged(cell, cell,
                     {kPictureRole, kPictureAskedRole, kDetailsRole, Qt::ToolTipRole,
                      Qt::AccessibleDescriptionRole});
  }
}

const library::MediumEntry* MediaModel::MediumAt(const QModelIndex& index) const {
  if (!index.isValid()) return nullptr;
  if (Node* parent = NodeOf(index)) return &parent->entry;
  if (index.row() < 0 || size_t(index.row()) >= media_.size()) return nullptr;
  return &media_[size_t(index.row())]->entry;
}

const library::PresentationEntry* MediaModel::PresentationAt(const QModelIndex& index) const {
  Node* parent = NodeOf(index);
  if (!parent || index.row() < 0 || size_t(index.row()) >= parent->entry.presentations.size())
    return nullptr;
  return &parent->entry.presentations[size_t(index.row())];
}

QModelIndex MediaModel::Find(const QString& mediumPath, const QString& folder) const {
  const Node* node = byPath_.value(mediumPath);
  if (!node) return QModelIndex();
  const QModelIndex medium = index(node->row, 0);
  if (folder.isEmpty()) return medium;
  for (size_t p = 0; p < node->entry.presentations.size(); ++p)
    if (node->entry.presentations[p].folder == folder) return index(int(p), 0, medium);
  return QModelIndex();
}

int MediaModel::PresentationCount() const {
  int n = 0;
  for (const auto& node : media_) n += int(node->entry.presentations.size());
  return n;
}

int MediaModel::AbsentCount() const {
  int n = 0;
  for (const auto& node : media_) n += node->entry.present ? 0 : 1;
  return n;
}

// ---- the model ---------------------------------------------------------------------------------

// A presentation's index carries its medium's node; a medium's carries none.
MediaModel::Node* MediaModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex MediaModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= kColumns) return QModelIndex();
  if (!parent.isValid()) {
    return size_t(row) < media_.size() ? createIndex(row, column, nullptr) : QModelIndex();
  }
  if (NodeOf(parent) || size_t(parent.row()) >= media_.size()) return QModelIndex();
  Node* node = media_[size_t(parent.row())].get();
  if (size_t(row) >= node->entry.presentations.size()) return QModelIndex();
  return createIndex(row, column, node);
}

QModelIndex MediaModel::parent(const QModelIndex& child) const {
  const Node* node = NodeOf(child);
  return node ? createIndex(node->row, 0, nullptr) : QModelIndex();
}

int MediaModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return int(media_.size());
  if (NodeOf(parent) || parent.column() != 0 || size_t(parent.row()) >= media_.size()) return 0;
  return int(media_[size_t(parent.row())]->entry.presentations.size());
}

int MediaModel::columnCount(const QModelIndex&) const {
  return kColumns;
}

Qt::ItemFlags MediaModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  const Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return NodeOf(index) ? f | Qt::ItemNeverHasChildren : f;
}

QVariant MediaModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  switch (section) {
    case kTitle:
      return QStringLiteral("Title");
    case kFolder:
      return QStringLiteral("Folder");
    case kLength:
      return QStringLiteral("Length");
    case kSlides:
      return QStringLiteral("Slides");
    case kLanguages:
      return QStringLiteral("Languages");
    case kPlayer:
      return QStringLiteral("Player");
    default:
      return QVariant();
  }
}

QVariant MediaModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  if (role == kIsMediumRole) return NodeOf(index) == nullptr;
  if (const Node* parent = NodeOf(index))
    return PresentationData(*parent, index.row(), index.column(), role);
  if (size_t(index.row()) >= media_.size()) return QVariant();
  return MediumData(*media_[size_t(index.row())], index.column(), role);
}

QVariant MediaModel::MediumData(const Node& node, int column, int role) const {
  const library::MediumEntry& m = node.entry;
  if (column != kTitle) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return MediumText(m);
    case kSortRole:
      return medium::PrintableText(m.name);
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
      const QString where = QDir::toNativeSeparators(m.path);
      QString text = m.present ? QStringLiteral("At %1.").arg(where)
                               : QStringLiteral("Absent: expected at %1.").arg(where);
      if (!m.problems.isEmpty()) text += QStringLiteral(" Its problems are listed below the list.");
      return text;
    }
    case Qt::FontRole: {
      QFont font = QApplication::font();
      font.setBold(true);
      font.setItalic(!m.present);
      return font;
    }
    case Qt::DecorationRole:
      if (m.problems.isEmpty()) return QVariant();
      return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    default:
      return QVariant();
  }
}

QVariant MediaModel::PresentationData(const Node& node, int row, int column, int role) const {
  if (size_t(row) >= node.entry.presentations.size()) return QVariant();
  const library::PresentationEntry& p = node.entry.presentations[size_t(row)];
  const auto view = [&]() -> const SlideView* {
    return pictures_ ? pictures_->Find(RequestOf(node.entry, p)) : nullptr;
  };
  if (column == kTitle) {
    switch (role) {
      case Qt::DisplayRole:
        return medium::PrintableText(TitleOf(p));
      case Qt::AccessibleTextRole:
        return medium::PrintableText(TitleOf(p), kWholeTitleChars);
      case kSortRole:
        return medium::PrintableText(TitleOf(p)).toCaseFolded();
      case Qt::ToolTipRole: {
        QString text = medium::PrintableText(TitleOf(p), kWholeTitleChars);
        if (const SlideView* v = view(); v && !v->detailsLine.isEmpty())
          text += u'\n' + medium::PrintableText(v->detailsLine);
        return text;
      }
      case Qt::AccessibleDescriptionRole: {
        QStringList parts;
        if (const SlideView* v = view(); v && !v->detailsLine.isEmpty())
          parts << medium::PrintableText(v->detailsLine);
        if (p.lengthMs >= 0) parts << library::FormatMoment(p.lengthMs);
        parts << QStringLiteral("player: ") + PlayerText(p);
        return parts.join(QStringLiteral(", "));
      }
      case kDetailsRole: {
        const SlideView* v = view();
        return v ? medium::PrintableText(v->detailsLine) : QString();
      }
      case kPictureRole: {
        const SlideView* v = view();
        return v ? QVariant(v->picture) : QVariant();
      }
      case kPictureAskedRole:
        return pictures_ && view() != nullptr;
      default:
        return QVariant();
    }
  }
  if (role == Qt::TextAlignmentRole && (column == kLength || column == kSlides))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role == kSortRole) {
    switch (column) {
      case kLength:
        return p.lengthMs;
      case kSlides:
        return p.slides;
      default:
        role = Qt::DisplayRole;
        break;
    }
  }
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
    return QVariant();
  switch (column) {
    case kFolder:
      return medium::PrintableText(p.folder);
    case kLength:
      return p.lengthMs >= 0 ? library::FormatMoment(p.lengthMs) : QString();
    case kSlides:
      return QString::number(p.slides);
    case kLanguages:
      return medium::PrintableText(p.languages.join(QStringLiteral(", ")));
    case kPlayer:
      return PlayerText(p);
    default:
      return QVariant();
  }
}

// ---- sorting -----------------------------------------------------------------------------------

bool MediaSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const QAbstractItemModel* model = sourceModel();
  if (!left.parent().isValid()) {
    // The media by name, whatever the column.
    const QString a =
        model->index(left.row(), MediaModel::kTitle).data(MediaModel::kSortRole).toString();
    const QString b =
        model->index(right.row(), MediaModel::kTitle).data(MediaModel::kSortRole).toString();
    return QString::localeAwareCompare(a, b) < 0;
  }
  const QVariant a = left.data(MediaModel::kSortRole);
  const QVariant b = right.data(MediaModel::kSortRole);
  if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
    return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
  return a.toLongLong() < b.toLongLong();
}

}  // namespace librarywindow
