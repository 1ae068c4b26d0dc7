#pragma once
// The player window (WinMedia_frm in Tavisco, RealMedia_frm in Norvanta): every control of the
// layout, the presentation model, start-up and the handlers. Window children are placed in
// pixels; the thumbnail strip's frames and their children keep their places in twips (the
// properties LeftTwips, TopTwips, WidthTwips and HeightTwips), shown at twips / 15.

#include <QAbstractButton>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "medium/Report.h"
#include "medium/TextStream.h"
#include "player/BuildProfile.h"
#include "player/Model.h"
#include "player/Playback.h"
#include "player/Readers.h"

class MediaEngine;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QTimer;

// A picture box: shows its picture unscaled from the top-left corner on its background colour.
class PictureArea : public QWidget {
  Q_OBJECT
 public:
  PictureArea(const QColor& background, QWidget* parent);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor background_;
  QImage picture_;
};

// A graphical button of the Command1 array: its picture centred on a raised face, no caption.
class ThumbnailButton : public QAbstractButton {
  Q_OBJECT
 public:
  ThumbnailButton(int index, QWidget* parent);
  int Index() const { return index_; }
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int index_;
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

class PlayerWindow : public QWidget, public PlayerView, public TimelineSink {
  Q_OBJECT
 public:
  using EngineFactory = std::function<std::unique_ptr<MediaEngine>(QWidget* parent)>;
  using TranscriptSourceFactory = std::function<std::unique_ptr<TranscriptTexts>(
      const QString& transcriptsFolder, const QStringList& languages)>;

  // The engine stays the caller's (tests pass a fake engine that has no widget).
  PlayerWindow(const BuildProfile& profile, medium::Reporter& reporter, MediaEngine& engine,
               QString argumentText, QWidget* parent = nullptr);
  // The window creates and owns its engine control; a factory that fails leaves an engine whose
  // every call fails, and start-up reports those calls.
  PlayerWindow(const BuildProfile& profile, medium::Reporter& reporter, EngineFactory factory,
               QString argumentText, QWidget* parent = nullptr);
  ~PlayerWindow() override;

  // Start-up: reads the presentation, shapes the window and starts the recording; shows the
  // window at the step its build says. Runs once.
  void Form_Load();
  // The handlers. Outside start-up an error in them is shown with its number and description
  // and ends the program.
  void Timer1_Timer();
  void Command1_Click(int16_t index);
  void Slides_cmb_Click();
  void HScroll1_Change();
  // Ends the program at once: no engine call, nothing saved, no tick afterwards.
  void Form_Unload();

  // The benchmark replaces the indexed transcripts with another source.
  void SetTranscriptSourceFactory(TranscriptSourceFactory factory);
  // How Playback loads slide pictures (empty: from the medium).
  void SetPictureLoader(PictureLoader loader) { pictureLoader_ = std::move(loader); }

  const BuildProfile& Profile() const { return profile_; }
  bool StartupFinished() const { return startupFinished_; }
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }
  MediaEngine& Engine() { return *engine_; }
  const Slides_cls* SlidesList() const { return slides_.get(); }
  const Anns_cls* AnnsList() const { return anns_.get(); }
  const Trans_cls* TransList() const { return trans_.get(); }
  int ThumbnailCount() const { return int(buttons_.size()); }
  ThumbnailButton* Thumbnail(int index) const;
  float InnerFrameLeftTwips() const { return innerLeftTwips_; }
  float InnerFrameWidthTwips() const { return innerWidthTwips_; }
  float HighlightLeftTwips() const { return highlightLeftTwips_; }
  // The window's client height in twips (9195 as designed).
  int HeightTwips() const;
  // Details_txt's text exactly as read (every line followed by CR LF).
  const QString& DetailsText() const { return detailsText_; }
  QImage SlideImage() const;
  QImage AudioImage() const;

  // PlayerView
  int SelectedLanguage() const override;
  void SetTranscriptText(const QString& text) override;
  void SetSlidePicture(const QImage& picture) override;
  void SetSlideTitle(const QString& title) override;
  void SetHighlightLeft(float twips) override;
  float ThumbnailWidthTwips() const override;
  int SlidesListSelection() const override;
  void ClearSlidesListSelection() override;

  // TimelineSink: the slide list and the per-slide window steps.
  void AddSlideTitle(const QString& title) override;
  void SlideAppended(const Slide_cls& slide, int16_t k) override;

  QString PresFolder;
  int16_t SlideMode = 0;
  int16_t MediaMode = 0;

 signals:
  // The program ends with this exit code (closing the window, or an error outside start-up).
  void programEnded(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  PlayerWindow(const BuildProfile& profile, medium::Reporter& reporter, QString argumentText,
               QWidget* parent);
  void BuildControls();
  void ApplyTabOrder();
  template <class Step>
  void Step(Step&& step);
  template <class Handler>
  void RunHandler(Handler&& handler);
  void EndProgram(int code);
  void StartRecording();
  void ShowWindow();
  void ReadTimelineFile();
  ThumbnailButton* AddThumbnailButton(int index);

  // Passes messages on until the program has ended; a window closed while start-up waited on a
  // message shows no further ones.
  class EndAwareReporter : public medium::Reporter {
   public:
    EndAwareReporter(medium::Reporter& target, const bool& ended)
        : Reporter(target.Title()), target_(target), ended_(ended) {}
    void Show(const medium::Message& message) override {
      if (!ended_) target_.Show(message);
    }

   private:
    medium::Reporter& target_;
    const bool& ended_;
  };

  const BuildProfile& profile_;
  bool ended_ = false;
  EndAwareReporter reporter_;
  QString argumentText_;
  std::unique_ptr<MediaEngine> ownedEngine_;
  MediaEngine* engine_ = nullptr;
  TranscriptSourceFactory transcriptFactory_;
  PictureLoader pictureLoader_;
  medium::TextStream stream_;  // settings, timeline and details
  std::unique_ptr<Slides_cls> slides_;
  std::unique_ptr<Trans_cls> trans_;
  std::unique_ptr<Anns_cls> anns_;
  std::unique_ptr<Playback> playback_;
  QImage background_;
  QString detailsText_;
  bool loaded_ = false;
  bool startupFinished_ = false;
  bool centred_ = false;
  int exitCode_ = 0;
  float innerLeftTwips_ = 0;
  float innerWidthTwips_ = 1515;
  float highlightLeftTwips_ = 100;

 public:
  // The controls, named as in the layout.
  QLineEdit* UserDef1_txt = nullptr;
  QComboBox* Transcript_cmb = nullptr;
  QPlainTextEdit* Trans_txt = nullptr;
  QTimer* Timer1 = nullptr;
  PictureArea* Slide_img = nullptr;
  QPlainTextEdit* Details_txt = nullptr;
  QComboBox* Slides_cmb = nullptr;
  QFrame* OuterFrame = nullptr;
  QWidget* InnerFrame = nullptr;
  OutlineShape* Shape1 = nullptr;
  QScrollBar* HScroll1 = nullptr;
  PictureArea* Audio_img = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Slide_txt = nullptr;

 private:
  std::vector<ThumbnailButton*> buttons_;  // Command1(0), Command1(1), ...
};

// Maps the layout's font families to the metric-compatible ones the setup installs. Once per
// process; the window calls it.
void InstallLayoutFonts();
