#pragma once
// The library window: every medium of the shelf (present or not) with its presentations, one
// search field over all of them, and a player started on the presentation or at the moment
// chosen. The index is brought up to date on a thread of its own, with a progress bar, while the
// window shows what the index held already; searching and listing only read the index, so an
// unchanged library opens without reading any medium. Pictures are read from the media on
// another thread as their rows come into view.
//
// The rooms: MediaModel and HitsModel (what the lists hold), LibraryDelegates (how their rows
// are drawn), SlidePictures (pictures read and kept), ProblemGroups (a medium's problems as the
// pane shows them), IndexUpdater (the update beside the window); LibraryWindowLayout.cpp builds
// the controls, LibraryWindow.cpp answers the user.

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "launcher/MediumMenu.h"
#include "library/LibraryIndex.h"

class QAbstractItemView;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QProgressBar;
class QStandardItemModel;
class QTreeView;

namespace medium {
class Reporter;
}
namespace launcher {
class ProcessStarter;
}

namespace librarywindow {

class HitsModel;
class IndexUpdater;
class MediaModel;
class MediaSortModel;
class PictureStore;

// What the window needs from outside; tests put fakes in every place.
struct LibraryWindowServices {
  medium::Reporter* reporter = nullptr;         // an absent medium, a player that cannot start
  launcher::ProcessStarter* starter = nullptr;  // starts the players
  // The folder the players stand in, medium form; empty: this program's own.
  QString programFolder;
  // The index's file; empty: the user's cache folder. The pictures are kept beside it.
  QString indexFile;
  // The dialogs of the check and the export (tests answer them).
  launcher::MediumMenu::Dialogs menuDialogs;
  // The pause in typing after which the field searches.
  int searchDelayMs = 150;
};

class LibraryWindow : public QWidget {
 public:
  // roots: the library's folders (native), as given or remembered.
  LibraryWindow(QStringList roots, LibraryWindowServices services, QWidget* parent = nullptr);
  // Stops an update after the presentation it is reading, and the pictures' reading, and waits.
  ~LibraryWindow() override;

  // Opens the index, lists what it holds, shows the window and starts bringing the index up to
  // date beside it.
  void Start();
  // Looks at the media again (F5): new and changed ones are read, the others only looked at.
  void UpdateIndex();
  bool Updating() const;
  // Searches what the field holds at once (it does by itself after a pause in typing).
  void SearchNow();
  // Enter or a double-click: plays the presentation or the hit that is current.
  void OpenCurrent();
  // The pictures' store (tests wait for it to have read what is in view).
  PictureStore* Pictures() const { return pictures_; }

  // Controls.
  QLineEdit* Search_txt = nullptr;
  QTreeView* Media_tree = nullptr;    // media with their presentations (a sorting proxy's view)
  QListView* Hits_lst = nullptr;      // the hits, one drawn row each
  QLabel* Problems_lbl = nullptr;     // over the problems of the medium chosen
  QTreeView* Problems_lst = nullptr;  // grouped by presentation, repeated lines folded
  QProgressBar* Progress_bar = nullptr;
  QLabel* Notice_lbl = nullptr;
  QLabel* Status_lbl = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What a row of either list stands for.
  struct Target {
    QString mediumPath;
    QString mediumName;
    bool present = true;  // as the index last found it
    QString folder;       // empty: the medium itself
    QString title;
    PlayerBuild player = PlayerBuild::Tavisco;
    bool playable = true;  // a recording of either player is there
    std::optional<double> atMs;
  };

  void BuildControls();
  void BuildLists();
  void BuildShortcuts();
  void ListMedia();
  void FitColumns();
  void ShowHits(const library::SearchResult& result);
  void ShowSearchOrMedia();
  void ShowProblems();
  void ShowProgress(const library::IndexProgress& progress);
  void UpdateFinished(const library::UpdateResult& result);
  void ShowSummary();
  void ShowNotice(const QStringList& lines);
  std::optional<Target> CurrentTarget() const;
  std::optional<Target> TargetOf(const QModelIndex& index) const;
  void Play(const Target& target);
  void ShowMenu(QAbstractItemView* list, const QPoint& pos);
  // Runs one of the launcher's medium actions on this medium; false when it cannot now.
  bool RunOnMedium(const Target& target,
                   void (launcher::MediumMenu::*action)(const layout::MediumLayout&));
  bool SayWhereExpected(const Target& target);
  QAbstractItemView* VisibleList() const;
  bool Searching() const;

  QStringList roots_;
  LibraryWindowServices services_;
  library::LibraryIndex index_;  // this thread's connection: listing and searching
  PictureStore* pictures_ = nullptr;
  MediaModel* media_ = nullptr;
  MediaSortModel* sortedMedia_ = nullptr;
  HitsModel* hits_ = nullptr;
  QStandardItemModel* problems_ = nullptr;
  QString problemsOf_;  // the medium whose problems the pane shows
  QString hitsFor_;     // the query the hits list shows
  QTimer searchTimer_;
  launcher::MediumMenu* menu_ = nullptr;
  std::unique_ptr<IndexUpdater> updater_;
};

}  // namespace librarywindow
