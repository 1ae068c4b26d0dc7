// The library window's rooms on their own: the slide pictures read from a copy of the sample
// medium (the slide at a moment, the medium's own thumbnails, the cache beside the index that an
// absent medium is shown from, a changed medium read again, the store's worker under a flood of
// requests and going away while it reads), a new listing merged into the media model, and a
// medium's problems grouped and folded.

#include <QAbstractItemModelTester>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "library/LibraryIndex.h"
#include "librarywindow/MediaModel.h"
#include "librarywindow/ProblemGroups.h"
#include "librarywindow/SlidePictures.h"
#include "medium/PrintableText.h"
#include "tests/support/FileTree.h"

using librarywindow::PictureRequest;
using librarywindow::PictureStore;
using librarywindow::SlidePictureReader;
using librarywindow::SlideView;

namespace {

bool CopyTree(const QString& from, const QString& to) {
  QDir source(from);
  if (!QDir().mkpath(to)) return false;
  QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString target = to + u'/' + source.relativeFilePath(path);
    if (it.fileInfo().isDir()) {
      if (!QDir().mkpath(target)) return false;
    } else if (!QFile::copy(path, target)) {
      return false;
    }
  }
  return true;
}

// "path=folder,folder" into a medium as the index lists it.
library::MediumEntry Medium(const QString& spec) {
  library::MediumEntry m;
  m.path = spec.section(u'=', 0, 0);
  m.name = m.path.section(u'/', -1);
  m.present = true;
  const QString folders = spec.section(u'=', 1);
  for (const QString& f : folders.split(u',', Qt::SkipEmptyParts)) {
    library::PresentationEntry p;
    p.folder = f;
    p.title = QStringLiteral("Talk ") + f;
    m.presentations.push_back(p);
  }
  return m;
}

std::vector<library::MediumEntry> Media(const QStringList& specs) {
  std::vector<library::MediumEntry> media;
  for (const QString& s : specs) media.push_back(Medium(s));
  return media;
}

// The model's media as "path=folder,folder", in its order.
QStringList Listed(const librarywindow::MediaModel& model) {
  QStringList out;
  for (int r = 0; r < model.rowCount(); ++r) {
    const QModelIndex m = model.index(r, 0);
    QStringList folders;
    for (int p = 0; p < model.rowCount(m); ++p)
      folders << model.index(p, librarywindow::MediaModel::kFolder, m).data().toString();
    out << model.MediumAt(m)->path + u'=' + folders.join(u',');
  }
  return out;
}

const QString kKeynote = QStringLiteral("Launch2004");

}  // namespace

class LibraryWindowPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void slideAtMoment_data();
  void slideAtMoment();
  void absentMediumIsShownFromTheCache();
  void changedMediumIsReadAgain();
  void storeUnderAFloodOfRequests();
  void listingMergedIntoTheModel_data();
  void listingMergedIntoTheModel();
  void sortingKeepsMediaTogether_data();
  void sortingKeepsMediaTogether();
  void problemsGroupedAndFolded_data();
  void problemsGroupedAndFolded();

 private:
  QTemporaryDir work_;
  QString disc_;
};

void LibraryWindowPartsTest::initTestCase() {
  const QString sample = qEnvironmentVariable("SAMPLE_MEDIUM_DIR", SAMPLE_MEDIUM_DIR);
  QVERIFY2(QFile::exists(sample + "/Data/config.txt"), "the sample medium has not been written");
  disc_ = work_.filePath("shelf/disc");
  QVERIFY(CopyTree(sample, disc_));
}

void LibraryWindowPartsTest::slideAtMoment_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<qint64>("atMs");
  QTest::addColumn<QString>("slideTitle");
  QTest::addColumn<QString>("thumbnail");  // the medium's own thumbnail shown; "" none; "*" some

  // The keynote's slides begin every 6 s: 0 Welcome, 6 Agenda, 12 numbers, 18 Archive 4, ...
  QTest::newRow("the presentation's own: its first slide")
      << kKeynote << qint64(-1) << "Welcome to zENTO Launch 2004"
      << "Slide1.jpg";
  QTest::newRow("at the start") << kKeynote << qint64(0) << "Welcome to zENTO Launch 2004"
                                << "Slide1.jpg";
  QTest::newRow("inside the third slide") << kKeynote << qint64(14500) << "Our year in numbers"
                                          << "Slide3.jpg";
  QTest::newRow("on a slide's first moment") << kKeynote << qint64(18000) << "Meet zENTO Archive 4"
                                             << "Slide4.jpg";
  QTest::newRow("just before it") << kKeynote << qint64(17999) << "Our year in numbers"
                                  << "Slide3.jpg";
  QTest::newRow("long after the end") << kKeynote << qint64(10000000) << "Thank you"
                                      << "Slide8.jpg";
  // Slides are ignored by a still-picture presentation: its one picture, no slide title.
  QTest::newRow("a still picture") << "Interview" << qint64(20000) << ""
                                   << "*";
  QTest::newRow("a folder not on the medium") << "Nowhere" << qint64(-1) << ""
                                              << "";
  QTest::newRow("a folder leading off the medium") << "../.." << qint64(-1) << ""
                                                   << "";
}

void LibraryWindowPartsTest::slideAtMoment() {
  QFETCH(QString, folder);
  QFETCH(qint64, atMs);
  QFETCH(QString, slideTitle);
  QFETCH(QString, thumbnail);
  QTemporaryDir cache;
  SlidePictureReader reader(cache.path());
  const QStringList before = TreeSnapshot(disc_);
  const SlideView view = reader.Read({disc_, folder, atMs});
  QCOMPARE(view.slideTitle, slideTitle);
  QCOMPARE(view.picture.isNull(), thumbnail.isEmpty());
  if (!view.picture.isNull()) {
    QVERIFY(view.picture.width() <= librarywindow::kPictureWidth);
    QVERIFY(view.picture.height() <= librarywindow::kPictureHeight);
  }
  if (thumbnail.endsWith(".jpg")) {
    // The medium's own thumbnail where it has one, as it is.
    const QImage own(disc_ + "/Slides/ZentoLaunch/thumbs/" + thumbnail);
    QVERIFY(!own.isNull());
    QCOMPARE(view.picture.size(), own.size());
    QCOMPARE(view.picture.convertToFormat(QImage::Format_RGB32),
             own.convertToFormat(QImage::Format_RGB32));
  }
  // Read, and nothing written on the medium.
  QCOMPARE(TreeSnapshot(disc_), before);
}

void LibraryWindowPartsTest::absentMediumIsShownFromTheCache() {
  QTemporaryDir cache;
  const QString disc = work_.filePath("away/disc");
  QVERIFY(CopyTree(disc_, disc));
  SlideView seen;
  SlideView cover;
  {
    SlidePictureReader reader(cache.path());
    seen = reader.Read({disc, kKeynote, 14500});
    cover = reader.Read({disc, kKeynote, -1});
    QVERIFY(!seen.picture.isNull() && !cover.picture.isNull());
    QVERIFY2(cover.detailsLine.contains("Launch 2004"), qPrintable(cover.detailsLine));
  }
  // The disc taken out of its drive.
  QVERIFY(QDir(disc).removeRecursively());
  SlidePictureReader reader(cache.path());
  const SlideView again = reader.Read({disc, kKeynote, 14500});
  QVERIFY(again.known);
  QCOMPARE(again.slideTitle, seen.slideTitle);
  QCOMPARE(again.detailsLine, cover.detailsLine);
  QCOMPARE(again.picture.size(), seen.picture.size());
  // A slide never shown: its title is known from the timeline kept, its picture is not.
  const SlideView unseen = reader.Read({disc, kKeynote, 31000});
  QCOMPARE(unseen.slideTitle, QStringLiteral("Safe by design"));
  QVERIFY(unseen.picture.isNull());
  // A presentation never read: nothing.
  const SlideView never = reader.Read({disc, QStringLiteral("Interview"), -1});
  QVERIFY(!never.known);
  QVERIFY(never.picture.isNull());
  // Without a cache folder nothing is kept at all.
  SlidePictureReader forgetful{QString()};
  QVERIFY(!forgetful.Read({disc, kKeynote, 14500}).known);
}

void LibraryWindowPartsTest::changedMediumIsReadAgain() {
  QTemporaryDir cache;
  const QString disc = work_.filePath("changing/disc");
  QVERIFY(CopyTree(disc_, disc));
  {
    SlidePictureReader reader(cache.path());
    QCOMPARE(reader.Read({disc, kKeynote, -1}).slideTitle,
             QStringLiteral("Welcome to zENTO Launch 2004"));
  }
  // A new first thumbnail, and the first slide's title changed in the timeline (the same
  // length, so only its time tells).
  QImage red(40, 30, QImage::Format_RGB32);
  red.fill(Qt::red);
  const QString thumb = disc + "/Slides/ZentoLaunch/thumbs/Slide1.jpg";
  QVERIFY(red.save(thumb, "JPG"));
  QFile timeline(disc + "/Data/Launch2004/events.txt");
  QVERIFY(timeline.open(QIODevice::ReadWrite));
  QByteArray bytes = timeline.readAll();
  QVERIFY(bytes.contains("Welcome to zENTO"));
  bytes.replace("Welcome to zENTO", "Greetings, zENTO");
  QVERIFY(timeline.seek(0) && timeline.write(bytes) == bytes.size());
  QVERIFY(timeline.setFileTime(QDateTime::currentDateTime().addSecs(60),
                               QFileDevice::FileModificationTime));
  timeline.close();

  SlidePictureReader reader(cache.path());
  const SlideView view = reader.Read({disc, kKeynote, -1});
  QCOMPARE(view.slideTitle, QStringLiteral("Greetings, zENTO Launch 2004"));
  QCOMPARE(view.picture.size(), QSize(40, 30));
  const QColor middle = view.picture.pixelColor(20, 15);
  QVERIFY2(middle.red() > 200 && middle.green() < 60, qPrintable(middle.name()));
  // Only the latest picture of that slide is kept.
  QCOMPARE(QDir(reader.EntryFolder(disc, kKeynote)).entryList({"slide-1-*.jpg"}).size(), 1);
}

void LibraryWindowPartsTest::storeUnderAFloodOfRequests() {
  QTemporaryDir cache;
  constexpr int kAsked = PictureStore::kMaxWaiting + 150;
  // Moments 0.2 s apart: the newest are long after the keynote's last slide began.
  const auto request = [&](int k) { return PictureRequest{disc_, kKeynote, qint64(k) * 200}; };
  {
    PictureStore store(cache.path());
    QSignalSpy arrived(&store, &PictureStore::arrived);
    for (int k = 0; k < kAsked; ++k) QVERIFY(!store.Find(request(k)));
    // The oldest were forgotten: at most so many wait. (The reader may already have answered a
    // few on a busy machine; those answers wait for this thread, so only the queue is bounded.)
    QVERIFY(store.Queued() <= PictureStore::kMaxWaiting);
    QTRY_COMPARE_WITH_TIMEOUT(store.Waiting(), 0, 60000);
    QVERIFY2(arrived.size() < kAsked, "every request was read: none forgotten");
    // The newest were answered: the slide at that moment.
    const SlideView* newest = store.Find(request(kAsked - 1));
    QVERIFY(newest);
    QCOMPARE(newest->slideTitle, QStringLiteral("Thank you"));
    // One forgotten is asked again when it is shown again, and answered.
    QVERIFY(!store.Find(request(0)));
    QTRY_VERIFY(store.Find(request(0)) != nullptr);
    QCOMPARE(store.Find(request(0))->slideTitle, QStringLiteral("Welcome to zENTO Launch 2004"));
  }
  // A store that goes while its worker reads: the worker is stopped and waited for, and nothing
  // arrives at the store gone.
  for (int round = 0; round < 5; ++round) {
    auto store = std::make_unique<PictureStore>(cache.path());
    int arrivals = 0;
    QObject::connect(store.get(), &PictureStore::arrived, [&arrivals] { ++arrivals; });
    for (int k = 0; k < 50; ++k) store->Find({disc_, kKeynote, qint64(round * 1000 + k)});
    QTest::qWait(round);
    store.reset();
    const int before = arrivals;
    QTest::qWait(20);
    QCOMPARE(arrivals, before);
  }
}

void LibraryWindowPartsTest::listingMergedIntoTheModel_data() {
  QTest::addColumn<QStringList>("before");
  QTest::addColumn<QStringList>("after");
  QTest::addColumn<int>("inserted");  // media rows
  QTest::addColumn<int>("removed");
  QTest::addColumn<bool>("reset");
  QTest::addColumn<QString>("kept");  // "path=folder": a row that must stay where it is

  QTest::newRow("the same") << QStringList{"/a=x,y", "/b=z"} << QStringList{"/a=x,y", "/b=z"} << 0
                            << 0 << false << "/a=y";
  QTest::newRow("from nothing") << QStringList{} << QStringList{"/a=x", "/b=y"} << 2 << 0 << false
                                << "";
  QTest::newRow("a medium found between two")
      << QStringList{"/a=x", "/c=z"} << QStringList{"/a=x", "/b=y", "/c=z"} << 1 << 0 << false
      << "/c=z";
  QTest::newRow("media found at both ends")
      << QStringList{"/b=y"} << QStringList{"/a=x", "/b=y", "/c=z", "/d=w"} << 3 << 0 << false
      << "/b=y";
  QTest::newRow("a medium gone") << QStringList{"/a=x", "/b=y", "/c=z"}
                                 << QStringList{"/a=x", "/c=z"} << 0 << 1 << false << "/c=z";
  QTest::newRow("one gone, one found")
      << QStringList{"/a=x", "/b=y", "/d=w"} << QStringList{"/a=x", "/c=z", "/d=w"} << 1 << 1
      << false << "/d=w";
  QTest::newRow("a medium's presentations changed")
      << QStringList{"/a=x,y", "/b=z"} << QStringList{"/a=x,q,y", "/b=z"} << 0 << 0 << false
      << "/b=z";
  QTest::newRow("all gone") << QStringList{"/a=x", "/b=y"} << QStringList{} << 0 << 2 << false
                            << "";
  QTest::newRow("another order: listed anew")
      << QStringList{"/a=x", "/b=y"} << QStringList{"/b=y", "/a=x"} << 0 << 0 << true << "";
}

void LibraryWindowPartsTest::listingMergedIntoTheModel() {
  QFETCH(QStringList, before);
  QFETCH(QStringList, after);
  QFETCH(int, inserted);
  QFETCH(int, removed);
  QFETCH(bool, reset);
  QFETCH(QString, kept);
  librarywindow::MediaModel model(nullptr);
  // Qt's own checks of a model's promises, after every change.
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  model.SetMedia(Media(before));
  QCOMPARE(Listed(model), before);

  QPersistentModelIndex keep;
  if (!kept.isEmpty()) {
    keep = model.Find(kept.section(u'=', 0, 0), kept.section(u'=', 1));
    QVERIFY(keep.isValid());
  }
  int insertedRows = 0;
  int removedRows = 0;
  connect(&model, &QAbstractItemModel::rowsInserted, this,
          [&](const QModelIndex& parent, int first, int last) {
            if (!parent.isValid()) insertedRows += last - first + 1;
          });
  connect(&model, &QAbstractItemModel::rowsRemoved, this,
          [&](const QModelIndex& parent, int first, int last) {
            if (!parent.isValid()) removedRows += last - first + 1;
          });
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  model.SetMedia(Media(after));
  QCOMPARE(Listed(model), after);
  QCOMPARE(insertedRows, inserted);
  QCOMPARE(removedRows, removed);
  QCOMPARE(resets.size(), reset ? 1 : 0);
  if (!kept.isEmpty()) {
    // The row that was current is still the same presentation.
    QVERIFY(keep.isValid());
    QCOMPARE(model.MediumAt(keep)->path, kept.section(u'=', 0, 0));
    QCOMPARE(model.PresentationAt(keep)->folder, kept.section(u'=', 1));
  }
  int presentations = 0;
  for (const library::MediumEntry& m : Media(after)) presentations += int(m.presentations.size());
  QCOMPARE(model.PresentationCount(), presentations);
}

void LibraryWindowPartsTest::sortingKeepsMediaTogether_data() {
  QTest::addColumn<int>("column");
  QTest::addColumn<bool>("descending");
  QTest::addColumn<QStringList>("shown");  // "medium: title, title"

  using M = librarywindow::MediaModel;
  QTest::newRow("no column: as the index lists them")
      << -1 << false << QStringList{"b: Zebra, apple, Mango", "a: Kiwi, banana"};
  QTest::newRow("by title, case-blind")
      << int(M::kTitle) << false << QStringList{"a: banana, Kiwi", "b: apple, Mango, Zebra"};
  QTest::newRow("by title, descending")
      << int(M::kTitle) << true << QStringList{"b: Zebra, Mango, apple", "a: Kiwi, banana"};
  // An unknown length comes first; the media stay in name order.
  QTest::newRow("by length") << int(M::kLength) << false
                             << QStringList{"a: banana, Kiwi", "b: Mango, apple, Zebra"};
  QTest::newRow("by slides") << int(M::kSlides) << false
                             << QStringList{"a: Kiwi, banana", "b: apple, Zebra, Mango"};
}

void LibraryWindowPartsTest::sortingKeepsMediaTogether() {
  QFETCH(int, column);
  QFETCH(bool, descending);
  QFETCH(QStringList, shown);
  const auto talk = [](const char* title, qint64 lengthMs, int slides) {
    library::PresentationEntry p;
    p.title = QString::fromLatin1(title);
    p.folder = p.title;
    p.lengthMs = lengthMs;
    p.slides = slides;
    return p;
  };
  library::MediumEntry b = Medium("/b=");
  b.presentations = {talk("Zebra", 300000, 4), talk("apple", 100000, 2), talk("Mango", -1, 9)};
  library::MediumEntry a = Medium("/a=");
  a.presentations = {talk("Kiwi", 200000, 1), talk("banana", 50000, 3)};
  librarywindow::MediaModel model(nullptr);
  model.SetMedia({b, a});
  librarywindow::MediaSortModel sorted;
  sorted.setSourceModel(&model);
  sorted.setSortRole(librarywindow::MediaModel::kSortRole);
  sorted.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  QStringList got;
  for (int r = 0; r < sorted.rowCount(); ++r) {
    const QModelIndex m = sorted.index(r, 0);
    QStringList titles;
    for (int p = 0; p < sorted.rowCount(m); ++p) titles << sorted.index(p, 0, m).data().toString();
    got << model.MediumAt(sorted.mapToSource(m))->name + QStringLiteral(": ") +
               titles.join(QStringLiteral(", "));
  }
  QCOMPARE(got, shown);
}

void LibraryWindowPartsTest::problemsGroupedAndFolded_data() {
  QTest::addColumn<QStringList>("presentations");  // "title|folder"
  QTest::addColumn<QStringList>("problems");       // as the index keeps them
  QTest::addColumn<QStringList>("shown");          // "heading: line / line"
  QTest::addColumn<int>("count");

  QTest::newRow("repeated lines folded")
      << QStringList{"Keynote|Talk"}
      << QStringList{"Talk: No open file", "Talk: No open file", "Talk: File not found: a",
                     "Talk: No open file", "Talk: No open file"}
      << QStringList{QString::fromUtf8("Keynote (Talk): No open file \u00d74 / File not found: a")}
      << 5;
  QTest::newRow("the list first, then the presentations in order")
      << QStringList{"One|A", "Two|B"}
      << QStringList{"B: bad line", "Data/config.txt: Type mismatch", "A: bad picture"}
      << QStringList{"The list of presentations (Data/config.txt): Type mismatch",
                     "One (A): bad picture", "Two (B): bad line"}
      << 3;
  QTest::newRow("a folder that begins another's name")
      << QStringList{"First|Talk", "Second|Talk 2"}
      << QStringList{"Talk 2: No open file", "Talk: No open file"}
      << QStringList{"First (Talk): No open file", "Second (Talk 2): No open file"} << 2;
  QTest::newRow("bytes of a damaged file shown as text")
      << QStringList{QString::fromLatin1("Bro\x01ken|T\x07")}
      << QStringList{QString::fromLatin1("T\x07: Bad \x1b[31mname\r\n"),
                     QString::fromLatin1("Data/config.txt: \x01\x02")}
      << QStringList{"The list of presentations (Data/config.txt): \\x01\\x02",
                     "Bro\\x01ken (T\\x07): Bad \\x1B[31mname\\x0D\\x0A"}
      << 2;
  QTest::newRow("a long line cut")
      << QStringList{}
      << QStringList{"Data/config.txt: " + QString(500, u'x')}
      // What is said of the file is cut at the shown length, "…" included.
      << QStringList{"The list of presentations (Data/config.txt): " +
                     QString(medium::kPrintableTextLength - 1, u'x') + QString::fromUtf8("\u2026")}
      << 1;
  QTest::newRow("what belongs nowhere, and the rest only counted")
      << QStringList{"One|A"} << QStringList{"Z: lost", "A: ok", "... and 7 more"}
      << QStringList{"One (A): ok",
                     QString::fromUtf8("The medium: Z: lost / \u2026 and 7 more, not listed")}
      << 9;
  QTest::newRow("none") << QStringList{"One|A"} << QStringList{} << QStringList{} << 0;
}

void LibraryWindowPartsTest::problemsGroupedAndFolded() {
  QFETCH(QStringList, presentations);
  QFETCH(QStringList, problems);
  QFETCH(QStringList, shown);
  QFETCH(int, count);
  library::MediumEntry medium;
  medium.path = QStringLiteral("/shelf/disc");
  medium.name = QStringLiteral("disc");
  for (const QString& p : presentations) {
    library::PresentationEntry e;
    e.title = p.section(u'|', 0, 0);
    e.folder = p.section(u'|', 1);
    medium.presentations.push_back(e);
  }
  medium.problems = problems;
  QStringList groups;
  for (const librarywindow::ProblemGroup& g : librarywindow::GroupProblems(medium))
    groups << g.heading + QStringLiteral(": ") + g.lines.join(QStringLiteral(" / "));
  QCOMPARE(groups, shown);
  QCOMPARE(librarywindow::ProblemCount(medium), count);
  if (count) {
    QVERIFY2(librarywindow::MediaModel::MediumText(medium).endsWith(
                 QStringLiteral(" \u2014 %1 problem%2").arg(count).arg(count == 1 ? "" : "s")),
             qPrintable(librarywindow::MediaModel::MediumText(medium)));
  }
}

QTEST_MAIN(LibraryWindowPartsTest)
#include "test_library_window_parts.moc"
