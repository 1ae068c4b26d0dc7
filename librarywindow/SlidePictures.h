#pragma once
// The pictures the library window shows: a presentation's first slide (the medium's own
// thumbnail where it has one, else its slide picture made small; the still or audio picture of a
// presentation without slides) and the slide on screen at a hit's moment, each with its slide's
// title, and the first line of the presentation's details.
//
// They are read from the medium with the presentation loader on a thread of their own, newest
// request first (the rows just scrolled into view), and kept in a cache folder beside the index,
// never on a medium: a medium that is absent now shows what was read of it before, and a medium
// read before is not read again while its files keep their size and time.
//
//   SlidePictureReader  reads one request at a time, on whatever thread calls it (the worker);
//   PictureStore        the window's side: asks the reader's thread, keeps the answers in memory
//                       and says when one has come (arrived), always on the GUI thread.

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <list>
#include <memory>

class QThread;

namespace librarywindow {

// The largest picture kept; the lists draw them smaller.
inline constexpr int kPictureWidth = 128;
inline constexpr int kPictureHeight = 96;

struct PictureRequest {
  QString mediumPath;  // the medium's folder, native
  QString folder;      // the presentation's folder, as config.txt names it
  qint64 atMs = -1;    // a hit's moment; -1: the presentation's own picture
  QString Key() const;
};

// What was found for a request. Texts are as the medium holds them (damaged bytes included):
// whoever shows them makes them printable.
struct SlideView {
  QImage picture;       // null: nothing to show (no picture, or an absent medium never read)
  QString slideTitle;   // the title of the slide shown; empty for a still or audio picture
  QString detailsLine;  // the first line of the details that holds text
  bool known = false;   // the presentation was read, now or before (from the cache)
};

// Reads requests one at a time. Not shared between threads: the worker owns one.
class SlidePictureReader {
 public:
  // cacheFolder: where pictures and timelines are kept between runs (native); empty or not
  // writable: nothing is kept beyond this reader.
  explicit SlidePictureReader(QString cacheFolder);
  ~SlidePictureReader();
  SlidePictureReader(const SlidePictureReader&) = delete;
  SlidePictureReader& operator=(const SlidePictureReader&) = delete;

  SlideView Read(const PictureRequest& request);

  // The folder a presentation's cache entries are kept in.
  QString EntryFolder(const QString& mediumPath, const QString& folder) const;

 private:
  struct Timeline;
  std::shared_ptr<const Timeline> TimelineOf(const PictureRequest& request, bool present);
  QImage PictureOf(const QString& entry, const QString& name, const QStringList& sources,
                   bool present);

  QString cacheFolder_;
  QElapsedTimer clock_;
  // The presentations read last, so that the hits of one talk read its timeline once.
  std::list<std::pair<QString, std::shared_ptr<const Timeline>>> recent_;
};

// The window's side of the pictures. Lives on the GUI thread; the reading is on a worker thread
// started at the first request and stopped (after the picture it reads) when the store goes.
class PictureStore : public QObject {
  Q_OBJECT

 public:
  explicit PictureStore(QString cacheFolder, QObject* parent = nullptr);
  ~PictureStore() override;

  // What is known for the request, or nullptr while it is read: then it is asked for, ahead of
  // every request made before it, and arrived(key) follows.
  const SlideView* Find(const PictureRequest& request);
  // Requests asked and not answered yet (those the reader holds or has answered on their way
  // here included).
  int Waiting() const;
  // Requests not yet taken up by the reader: never more than kMaxWaiting.
  int Queued() const;
  // Forgets the answers kept (the index was brought up to date: a medium may have changed); they
  // are asked for again as they are shown, and come from the cache folder while still true.
  void Forget();

  // At most this many requests wait; the oldest are forgotten (their rows left the view long
  // ago) and asked for again when shown again.
  static constexpr int kMaxWaiting = 256;

 signals:
  void arrived(const QString& key);

 private:
  struct Queue;
  void Take(const QString& key, const SlideView& view);
  void Work();

  QString cacheFolder_;
  QCache<QString, SlideView> done_;
  QSet<QString> asked_;
  std::shared_ptr<Queue> queue_;
  QThread* worker_ = nullptr;
};

}  // namespace librarywindow
