#pragma once
// The thumbnail strip under the slide: OuterFrame, the visible window; InnerFrame, the row that
// slides inside it as HScroll1 moves; the Command1 buttons, one per slide; and Shape1, the yellow
// frame behind the current slide's thumbnail. The strip keeps its own geometry in twips, the
// unit of the frames (each control also carries it as the properties LeftTwips, TopTwips,
// WidthTwips and HeightTwips, shown at twips / 15), grows one slide at a time during start-up,
// follows the playing state with its highlight, keeps the current thumbnail in view, and moves
// the keyboard focus along the row. Only the thumbnails in and near the strip's window hold their
// pictures; the others are loaded again as they come near, so that a timeline of thousands of
// slides costs the memory of the few shown.

#include <QAbstractButton>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <functional>
#include <vector>

#include "player/core/StartupView.h"

class PlayingState;
class QFrame;
class QScrollBar;
class QWidget;

class ThumbnailStrip;

// A graphical button of the Command1 array: its picture centred on a raised face, no caption.
// A strip may hold tens of thousands of them, so what each one carries is kept small: its index,
// place and keys are properties read from members (a dynamic property costs every button its
// own lists), and it tells the strip of the keyboard by a call rather than by connections.
class ThumbnailButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(int Index READ Index CONSTANT)
  Q_PROPERTY(QVariant keepsKeys READ KeepsKeys CONSTANT)
  Q_PROPERTY(double LeftTwips READ LeftTwips)
  Q_PROPERTY(double TopTwips READ TopTwips)
  Q_PROPERTY(double WidthTwips READ WidthTwips)
  Q_PROPERTY(double HeightTwips READ HeightTwips)
 public:
  ThumbnailButton(int index, ThumbnailStrip* strip, QWidget* parent);
  int Index() const { return index_; }
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }
  // Its place in InnerFrame, in twips.
  void PlaceTwips(const QRectF& twips);
  double LeftTwips() const { return twips_.left(); }
  double TopTwips() const { return twips_.top(); }
  double WidthTwips() const { return twips_.width(); }
  double HeightTwips() const { return twips_.height(); }
  // The keys the strip handles itself while a thumbnail has the focus.
  static QVariant KeepsKeys();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  int index_;
  ThumbnailStrip* strip_;
  QRectF twips_;
  QImage picture_;
};

// Shape1: a rectangle outline, two pixels wide, no fill; clicks go through it.
class OutlineShape : public QWidget {
  Q_OBJECT
 public:
  OutlineShape(const QColor& colour, int penPixels, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  int pen_;
};

class ThumbnailStrip : public QObject, public StripSteps {
  Q_OBJECT
 public:
  // Builds OuterFrame, InnerFrame, Shape1, Command1(0) and HScroll1 in window, as designed.
  explicit ThumbnailStrip(QWidget* window);

  QFrame* OuterFrame() const { return outer_; }
  QWidget* InnerFrame() const { return inner_; }
  OutlineShape* Shape1() const { return shape_; }
  QScrollBar* HScroll1() const { return scroll_; }

  // The highlight follows the state's slide; the strip scrolls to a slide that becomes current.
  void Follow(const PlayingState& state);
  // Where a thumbnail's picture is loaded again when it comes near the strip's window (index
  // from 0); throws when the file cannot be loaded, and the thumbnail keeps what it shows.
  void SetPictureSource(std::function<QImage(int index)> source) { source_ = std::move(source); }
  // Where the accessible name of a thumbnail gets its slide's title (index from 0).
  void SetTitles(std::function<QString(int index)> titleOf) { titleOf_ = std::move(titleOf); }
  // Names thumbnail index for screen readers with its slide's title.
  void NameThumbnail(int index);

  int Count() const { return int(buttons_.size()); }
  ThumbnailButton* Thumbnail(int index) const;
  float ThumbnailWidthTwips() const { return float(places_.front().width()); }
  float HighlightLeftTwips() const { return highlightLeft_; }
  float InnerFrameWidthTwips() const { return innerWidth_; }
  // HScroll1_Change: slides the row to the scroll bar's value; neither seeks nor changes the
  // slide. The constant 8000 rather than the frame's width: the row's end stops short of the edge.
  void FollowScrollBar();
  // Scrolls so that thumbnail index is wholly visible (nothing when it already is).
  void EnsureThumbnailVisible(int index);

  // StripSteps
  void WidenStrip() override;
  void AddThumbnailButton(int n) override;
  void PlaceThumbnailAfterPrevious(int n) override;
  void SizeThumbnailAsPrevious(int n) override;
  void ShowThumbnailButton(int n) override;
  void SetThumbnailPicture(int n, const QImage& picture) override;
  void ExtendStripScrollBar() override;

 signals:
  // Thumbnail index (from 0) was clicked, or chosen with Enter or Space.
  void clicked(int index);

 private:
  friend class ThumbnailButton;  // tells of the arrows, Home, End and the focus
  ThumbnailButton* NewButton(int index);
  void MoveFocus(int index, int key);
  void MoveHighlight(int n);
  bool NearView(int index) const;
  // Loads the pictures of the thumbnails that came near the window, lets go of those that left.
  void KeepPicturesNearView();

  QFrame* outer_;
  QWidget* inner_;
  OutlineShape* shape_;
  QScrollBar* scroll_;
  std::vector<ThumbnailButton*> buttons_;  // Command1(0), Command1(1), ...
  std::vector<QRectF> places_;             // each button's place in InnerFrame, in twips
  // Per button: the picture taken over from button 0, shown while its own is not held; whether
  // its own picture was read at start-up (so it can be read again); whether it holds it now.
  std::vector<QImage> takenOver_;
  std::vector<bool> ownPicture_;
  std::vector<bool> holding_;
  std::function<QImage(int)> source_;
  float innerLeft_ = 0;
  float innerWidth_ = 1515;
  float highlightLeft_ = 100;
  std::function<QString(int)> titleOf_;
};
