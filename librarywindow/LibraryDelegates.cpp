#include "librarywindow/LibraryDelegates.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include "librarywindow/HitsModel.h"
#include "librarywindow/MediaModel.h"

namespace librarywindow {

namespace {

constexpr int kGap = 8;  // between the picture and the text
constexpr int kPad = 3;  // around a row's content

QStyle* StyleOf(const QStyleOptionViewItem& opt) {
  return opt.widget ? opt.widget->style() : QApplication::style();
}

// The row's background, selection and focus, drawn as the style draws an item with no text.
void DrawBackground(QPainter* painter, QStyleOptionViewItem opt) {
  opt.text.clear();
  opt.icon = QIcon();
  opt.features &= ~QStyleOptionViewItem::HasDecoration;
  StyleOf(opt)->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

QColor Ink(const QStyleOptionViewItem& opt) {
  const bool selected = opt.state & QStyle::State_Selected;
  return opt.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
}

// Secondary text: the ink, lighter.
QColor PaleInk(const QStyleOptionViewItem& opt) {
  QColor ink = Ink(opt);
  const QColor base =
      opt.palette.color(QPalette::Active, (opt.state & QStyle::State_Selected) ? QPalette::Highlight
                                                                               : QPalette::Base);
  return QColor::fromRgbF(float(ink.redF() * 0.65 + base.redF() * 0.35),
                          float(ink.greenF() * 0.65 + base.greenF() * 0.35),
                          float(ink.blueF() * 0.65 + base.blueF() * 0.35));
}

// The picture fitted into box, or a frame where there is none (yet).
void DrawPicture(QPainter* painter, const QRect& box, const QVariant& picture,
                 const QStyleOptionViewItem& opt) {
  const QImage image = picture.value<QImage>();
  if (image.isNull()) {
    painter->save();
    painter->setPen(opt.palette.color(QPalette::Mid));
    painter->setBrush(opt.palette.color(QPalette::AlternateBase));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->restore();
    return;
  }
  QRect target(QPoint(0, 0), image.size().scaled(box.size(), Qt::KeepAspectRatio));
  target.moveCenter(box.center());
  painter->save();
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  painter->drawImage(target, image);
  painter->restore();
}

void DrawLine(QPainter* painter, const QRect& rect, const QFont& font, const QColor& ink,
              const QString& text, Qt::TextElideMode elide, int flags = Qt::AlignLeft) {
  painter->save();
  painter->setFont(font);
  painter->setPen(ink);
  const QString shown = QFontMetrics(font).elidedText(text, elide, rect.width());
  painter->drawText(rect, flags | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  painter->restore();
}

QFont Smaller(const QFont& font) {
  QFont f = font;
  if (f.pointSizeF() > 0) f.setPointSizeF(f.pointSizeF() * 0.9);
  return f;
}

}  // namespace

// ---- Media_tree's title column -----------------------------------------------------------------

void TitleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
  if (index.data(MediaModel::kIsMediumRole).toBool()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QString title = opt.text;
  DrawBackground(painter, opt);

  const QRect area = opt.rect.adjusted(kPad, kPad, -kPad, -kPad);
  const QRect box(area.left(), area.top() + (area.height() - kPictureHeight) / 2, kPictureWidth,
                  kPictureHeight);
  DrawPicture(painter, box, index.data(MediaModel::kPictureRole), opt);

  const QRect text(box.right() + kGap, area.top(), area.right() - box.right() - kGap,
                   area.height());
  const QString details = index.data(MediaModel::kDetailsRole).toString();
  const int line = opt.fontMetrics.height();
  if (details.isEmpty()) {
    DrawLine(painter, text, opt.font, Ink(opt), title, Qt::ElideMiddle);
    return;
  }
  const int top = text.top() + (text.height() - 2 * line - 2) / 2;
  DrawLine(painter, QRect(text.left(), top, text.width(), line), opt.font, Ink(opt), title,
           Qt::ElideMiddle);
  DrawLine(painter, QRect(text.left(), top + line + 2, text.width(), line), Smaller(opt.font),
           PaleInk(opt), details, Qt::ElideRight);
}

QSize TitleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  if (index.data(MediaModel::kIsMediumRole).toBool())
    return QStyledItemDelegate::sizeHint(option, index);
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const int line = opt.fontMetrics.height();
  const int height = std::max(kPictureHeight, 2 * line + 2) + 2 * kPad;
  const int width = 2 * kPad + kPictureWidth + kGap + opt.fontMetrics.horizontalAdvance(opt.text);
  return QSize(width, height);
}

// ---- Hits_lst ----------------------------------------------------------------------------------

void HitDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  DrawBackground(painter, opt);
  const QRect area = opt.rect.adjusted(kPad + 1, kPad, -kPad - 1, -kPad);
  const QRect box(area.left(), area.top() + (area.height() - kPictureHeight) / 2, kPictureWidth,
                  kPictureHeight);
  DrawPicture(painter, box, index.data(HitsModel::kPictureRole), opt);

  const QRect text(box.right() + kGap, area.top(), area.right() - box.right() - kGap,
                   area.height());
  const int line = opt.fontMetrics.height() + 2;
  const int top = text.top() + (text.height() - 3 * line) / 2;
  const auto cell = [&](int column, int role = Qt::DisplayRole) {
    return index.siblingAtColumn(column).data(role).toString();
  };

  // The title, and the moment at the right.
  QFont bold = opt.font;
  bold.setBold(true);
  const QString moment = cell(HitsModel::kHitMoment);
  const int momentWidth = QFontMetrics(bold).horizontalAdvance(moment) + kGap;
  DrawLine(painter, QRect(text.left(), top, text.width() - momentWidth, line), bold, Ink(opt),
           cell(HitsModel::kHitTitle), Qt::ElideMiddle);
  DrawLine(painter, QRect(text.left(), top, text.width(), line), bold, Ink(opt), moment,
           Qt::ElideNone, Qt::AlignRight);

  // The slide on screen then, where the words were found, the medium.
  QStringList about;
  const QString slide = index.data(HitsModel::kSlideTitleRole).toString();
  if (!slide.isEmpty()) about << QStringLiteral("Slide \u201c%1\u201d").arg(slide);
  about << cell(HitsModel::kHitWhere) << cell(HitsModel::kHitMedium);
  DrawLine(painter, QRect(text.left(), top + line, text.width(), line), Smaller(opt.font),
           PaleInk(opt), about.join(QStringLiteral(" \u00b7 ")), Qt::ElideRight);

  // The passage with the words marked, on one line.
  const QString html = cell(HitsModel::kHitSnippet, HitsModel::kMarkedSnippetRole);
  QTextDocument doc;
  doc.setDocumentMargin(0);
  doc.setDefaultFont(opt.font);
  QTextOption noWrap;
  noWrap.setWrapMode(QTextOption::NoWrap);
  doc.setDefaultTextOption(noWrap);
  doc.setHtml(QStringLiteral("<span style=\"color:%1\">%2</span>").arg(Ink(opt).name(), html));
  const QRect passage(text.left(), top + 2 * line, text.width(), line);
  painter->save();
  painter->setClipRect(passage);
  painter->translate(passage.left(), passage.top() + (line - doc.size().height()) / 2);
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, Ink(opt));
  doc.documentLayout()->draw(painter, context);
  painter->restore();
}

QSize HitDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  const int line = option.fontMetrics.height() + 2;
  return QSize(kPictureWidth + kGap + 40 * option.fontMetrics.averageCharWidth(),
               std::max(kPictureHeight, 3 * line) + 2 * kPad + 2);
}

}  // namespace librarywindow
