// The library core: finding the media on a shelf of folders and links, the index with what it
// keeps and makes anew, the search's semantics, and the command line from index to hit.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "library/LibraryIndex.h"
#include "library/ListMatches.h"
#include "library/MediaDiscovery.h"
#include "library/MediumReading.h"
#include "library/Postings.h"
#include "medium/CommandLineOptions.h"
#include "medium/Paths.h"
#include "tests/support/FileTree.h"

namespace {

// A talk of two slides and two transcript sections in English and French.
void WriteTalk(const QString& medium, const QString& folder, const QString& slide2,
               const QString& french2, const QString& details) {
  const QString data = medium + "/Data/" + folder;
  WriteLines(data + "/database.txt",
             {"SlideMode=0", "MediaMode=0", "ShowDetails=True", "UserDefined=Recorded in Lyon"});
  WriteLines(data + "/events.txt",
             {"0~0~Deck~1~Welcome", "2~0~1", "0~6000~Deck~2~" + slide2, "2~12000~2"});
  WriteLines(data + "/transcripts/ENGLISH.html",
             {"<p><a name=\"SECTION1\"></a>", "Good morning and welcome.", "</p>",
              "<p><a name=\"SECTION2\"></a>", "The first showing of our archive.", "</p>"});
  WriteLines(data + "/transcripts/FRENCH.html",
             {"<p><a name=\"SECTION1\"></a>", "Bonjour et bienvenue.", "</p>",
              "<p><a name=\"SECTION2\"></a>", french2, "</p>"});
  WriteLines(data + "/details.txt", {details});
}

// Two media: Disc1 with two talks (one played by Norvanta), Disc2 with one.
void WriteShelf(const QString& shelf) {
  const QString d1 = shelf + "/Disc1";
  WriteLines(d1 + "/Data/config.txt",
             {"Presentations 2", "Archive keynote", "Keynote", "Spring interview", "Interview"});
  WriteTalk(d1, "Keynote", "Agenda of the day", "La première de notre archive.",
            "Speaker: Claire Martin");
  WriteTalk(d1, "Interview", "Questions", "Un entretien.", "Speaker: Paul Renaud");
  WriteFile(d1 + "/Media/Interview/media.rm", "not a recording");
  const QString d2 = shelf + "/more/Disc2";
  WriteLines(d2 + "/Data/config.txt", {"Presentations 1", "Winter lecture", "Lecture"});
  WriteTalk(d2, "Lecture", "Deployment plan", "Le déploiement en juin.", "Speaker: Ana Lopes");
}

}  // namespace

class LibraryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void Options_data();
  void Options();
  void DiscoveryFindsMediaAndSkipsWhatItCannotEnter();
  void SearchFinds_data();
  void SearchFinds();
  void IndexKeepsWhatIsUnchangedAndMendsWhatIsBroken();
  void CommandLineFromIndexToHit();
  void ExportAndPreservationNameOneShelfAlike();
  void StampsAsTheyWereKept();
  void PostingListsReadBackAsWritten();
  void MatchesOfWordsOfSeveralTerms_data();
  void MatchesOfWordsOfSeveralTerms();

 private:
  QTemporaryDir home_;  // the cache and config folders of this test and the programs it starts
  QString shelf_;
};

void LibraryTest::initTestCase() {
  qputenv("XDG_CACHE_HOME", QFile::encodeName(home_.path() + "/cache"));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + "/config"));
  shelf_ = home_.path() + "/shelf";
  WriteShelf(shelf_);
  QString why;
  QVERIFY2(library::LibraryIndex::Available(&why), qPrintable(why));
}

void LibraryTest::Options_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("dirs");
  QTest::addColumn<QString>("search");  // "-" for none
  QTest::addColumn<QString>("flags");   // c j e: check, json, export
  QTest::addColumn<QString>("error");
  const QStringList none;
  QTest::newRow("library remembered") << QStringList{"--library"} << none << "-"
                                      << ""
                                      << "";
  QTest::newRow("library folders")
      << QStringList{"/a", "--library", "/b"} << QStringList{"/a", "/b"} << "-"
      << ""
      << "";
  QTest::newRow("search") << QStringList{"--search", "premiere"} << none << "premiere"
                          << ""
                          << "";
  QTest::newRow("search as JSON in folders")
      << QStringList{"--search", "x y", "--json", "--library", "/a"} << QStringList{"/a"} << "x y"
      << "j"
      << "";
  QTest::newRow("check a library")
      << QStringList{"--check", "--library", "/a", "/b"} << QStringList{"/a", "/b"} << "-"
      << "c"
      << "";
  QTest::newRow("export a library")
      << QStringList{"--export", "/out", "--library", "/a"} << QStringList{"/a"} << "-"
      << "e"
      << "";
  QTest::newRow("a medium is no library")
      << QStringList{"--library", "--medium", "/a"} << none << "-"
      << ""
      << "--medium names one medium; a library is named with --library DIR";
  QTest::newRow("search without a query") << QStringList{"--search"} << none << "-"
                                          << ""
                                          << "--search needs a value: --search QUERY";
}

void LibraryTest::Options() {
  QFETCH(QStringList, args);
  QFETCH(QString, error);
  const medium::ProgramOptions o =
      medium::ParseProgramOptions(args, medium::OptionProgram::Launcher);
  QCOMPARE(o.error, error);
  if (!error.isEmpty()) return;
  QVERIFY(o.library);
  QTEST(o.libraryDirs, "dirs");
  QTEST(o.search.value_or("-"), "search");
  QFETCH(QString, flags);
  QCOMPARE(o.check, flags.contains('c'));
  QCOMPARE(o.json, flags.contains('j'));
  QCOMPARE(o.exportDir.has_value(), flags.contains('e'));
  QVERIFY(o.rest.isEmpty());
  QVERIFY(!o.medium);
}

void LibraryTest::DiscoveryFindsMediaAndSkipsWhatItCannotEnter() {
  QTemporaryDir dir;
  const QString root = dir.path() + "/shelf";
  WriteFile(root + "/a/Disc1/Data/config.txt");
  // Found case-blind, at the deepest level searched.
  WriteFile(root + "/b/c/d/Disc2/DATA/CONFIG.TXT");
  // One level too deep.
  WriteFile(root + "/b/c/d/e/Disc3/Data/config.txt");
  // A medium's own folders are not searched.
  WriteFile(root + "/a/Disc1/Slides/Inner/Data/config.txt");
  // A folder named like the file, not a file.
  QDir().mkpath(root + "/f/NotDisc/Data/config.txt");
  QVERIFY(QFile::link(root, root + "/loop"));
  QVERIFY(QFile::link(root + "/a", root + "/twice"));
  QVERIFY(QFile::link(dir.path() + "/gone", root + "/dangling"));
  bool unreadable = false;
#ifdef Q_OS_UNIX
  // Root reads every folder whatever its mode.
  if (::geteuid() != 0) {
    QDir().mkpath(root + "/locked/Disc4/Data");
    WriteFile(root + "/locked/Disc4/Data/config.txt");
    QFile::setPermissions(root + "/locked", QFileDevice::WriteOwner);
    unreadable = true;
  }
#endif

  const library::Discovery found =
      library::FindMedia({root, dir.path() + "/missing", root + "/a/Disc1"});
  QCOMPARE(found.media, QStringList({QDir::toNativeSeparators(root + "/a/Disc1"),
                                     QDir::toNativeSeparators(root + "/b/c/d/Disc2")}));
  QStringList skipped;
  for (const library::SkippedFolder& s : found.skipped) skipped << s.folder + ": " + s.reason;
  auto has = [&](const QString& text) {
    for (const QString& s : skipped)
      if (s.contains(text)) return true;
    return false;
  };
  QVERIFY2(has("/shelf/loop: leads back to"), qPrintable(skipped.join('\n')));
  QVERIFY2(has("/shelf/dangling: a link that leads nowhere"), qPrintable(skipped.join('\n')));
  QVERIFY2(has("/missing: does not exist"), qPrintable(skipped.join('\n')));
  QCOMPARE(has("/locked: cannot be read"), unreadable);
  QCOMPARE(found.skipped.size(), size_t(unreadable ? 4 : 3));
  QVERIFY(library::DescribeSkipped(found.skipped).contains("a link that leads nowhere\n"));
#ifdef Q_OS_UNIX
  if (unreadable)
    QFile::setPermissions(root + "/locked",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif

  // A cancelled search ends at once.
  const std::atomic<bool> cancel{true};
  QVERIFY(library::FindMedia({root}, library::kMaxDiscoveryDepth, &cancel).media.isEmpty());
}

void LibraryTest::SearchFinds_data() {
  QTest::addColumn<QString>("query");
  QTest::addColumn<int>("hits");
  QTest::addColumn<QString>("title");   // of the best hit
  QTest::addColumn<QString>("where");   // its place
  QTest::addColumn<qint64>("atMs");     // its moment
  QTest::addColumn<QString>("marked");  // its snippet, the words found in [ ]

  QTest::newRow("accent-blind") << "premiere" << 1 << "Archive keynote"
                                << "transcript (FRENCH)" << qint64(12000)
                                << "La [première] de notre archive.";
  QTest::newRow("case-blind, accent typed")
      << "PREMIÈRE" << 1 << "Archive keynote"
      << "transcript (FRENCH)" << qint64(12000) << "La [première] de notre archive.";
  QTest::newRow("all words, any order")
      << "archive premiere" << 1 << "Archive keynote"
      << "transcript (FRENCH)" << qint64(12000) << "La [première] de notre [archive].";
  QTest::newRow("last word a prefix") << "deploy" << 1 << "Winter lecture"
                                      << "slide title" << qint64(6000) << "[Deployment] plan";
  QTest::newRow("one letter is a word, not a prefix") << "q" << 0 << ""
                                                      << "" << qint64(0) << "";
  // "deploy" itself finds "Deployment" now (one stem); a beginning shorter than the stem does
  // not, unless it is the last word.
  QTest::newRow("only the last word a prefix") << "deplo plan" << 0 << ""
                                               << "" << qint64(0) << "";
  QTest::newRow("title first") << "archive" << 5 << "Archive keynote"
                               << "title" << qint64(0) << "[Archive] keynote";
  QTest::newRow("details") << "renaud" << 1 << "Spring interview"
                           << "details" << qint64(0) << "Speaker: Paul [Renaud]";
  QTest::newRow("free text") << "lyon" << 3 << "Archive keynote"
                             << "free text" << qint64(0) << "Recorded in [Lyon]";
  QTest::newRow("punctuation only") << "?!… -- ''" << 0 << ""
                                    << "" << qint64(0) << "";
  QTest::newRow("quotes and operators are words") << "\"premiere\" OR NEAR(x" << 0 << ""
                                                  << "" << qint64(0) << "";
  QTest::newRow("10,000 characters") << QString(10000, u'x') << 0 << ""
                                     << "" << qint64(0) << "";
  QTest::newRow("5,000 words") << QString("premiere ").repeated(5000) << 1 << "Archive keynote"
                               << "transcript (FRENCH)" << qint64(12000)
                               << "La [première] de notre archive.";
}

void LibraryTest::SearchFinds() {
  QFETCH(QString, query);
  QFETCH(int, hits);
  library::LibraryIndex index(home_.path() + "/semantics.sqlite");
  QVERIFY(index.Open());
  static bool updated = false;
  if (!updated) {
    const library::UpdateResult u = index.Update({shelf_});
    QCOMPARE(u.read.size(), 2);
    updated = true;
  }
  const library::SearchResult result = index.Search(query, {shelf_});
  QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
  QCOMPARE(int(result.hits.size()), hits);
  if (hits == 0) return;
  const library::SearchHit& best = result.hits.front();
  QTEST(best.title, "title");
  QTEST(library::PlaceText(best.place, best.language), "where");
  QTEST(best.atMs, "atMs");
  QTEST(best.MarkedSnippet("[", "]"), "marked");
}

void LibraryTest::IndexKeepsWhatIsUnchangedAndMendsWhatIsBroken() {
  QTemporaryDir dir;
  const QString shelf = dir.path() + "/shelf";
  WriteShelf(shelf);
  const QString file = dir.path() + "/index/library.sqlite";
  {
    library::LibraryIndex index(file);
    QVERIFY(index.Open());
    QVERIFY(!index.InMemory());
    QCOMPARE(index.Update({shelf}).read.size(), 2);
    // Unchanged media are not read again; a changed one is.
    QCOMPARE(index.Update({shelf}).unchanged.size(), 2);
    WriteLines(shelf + "/more/Disc2/Data/Lecture/details.txt", {"Speaker: Bea Novak"});
    const library::UpdateResult u = index.Update({shelf});
    QCOMPARE(u.read, QStringList{QDir::toNativeSeparators(shelf + "/more/Disc2")});
    QCOMPARE(index.Search("novak").hits.size(), size_t(1));
    QVERIFY(index.Search("ana").hits.empty());

    // A second program at the same time: it reads what the first wrote.
    library::LibraryIndex other(file);
    QVERIFY(other.Open());
    QCOMPARE(other.Update({shelf}).unchanged.size(), 2);
    QCOMPARE(other.Search("novak").hits.size(), size_t(1));

    // A medium taken away keeps its entries, marked absent, still found.
    QVERIFY(QDir().rename(shelf + "/more/Disc2", dir.path() + "/away"));
    const library::UpdateResult gone = index.Update({shelf});
    QCOMPARE(gone.absent, QStringList{QDir::toNativeSeparators(shelf + "/more/Disc2")});
    const library::SearchResult absent = index.Search("novak");
    QCOMPARE(absent.hits.size(), size_t(1));
    QVERIFY(!absent.hits.front().mediumPresent);
    QVERIFY(!index.Media({shelf}).back().present);
    QVERIFY(QDir().rename(dir.path() + "/away", shelf + "/more/Disc2"));

    // A damaged config.txt is named, and the other medium is read all the same.
    WriteFile(shelf + "/Disc1/Data/config.txt", "Presentations two\r\n");
    const library::UpdateResult damaged = index.Update({shelf});
    QCOMPARE(damaged.read.size(), 1);
    QVERIFY2(damaged.problems.join('\n').contains("Disc1: Data/config.txt: Type mismatch"),
             qPrintable(damaged.problems.join('\n')));
    const std::vector<library::MediumEntry> media = index.Media({shelf});
    QCOMPARE(media.size(), size_t(2));
    QVERIFY(media.front().problems.join('\n').contains("config.txt"));
    QCOMPARE(media.back().presentations.size(), size_t(1));
    QCOMPARE(media.back().presentations.front().languages, QStringList({"ENGLISH", "FRENCH"}));
    QCOMPARE(media.back().presentations.front().slides, 2);
    WriteShelf(shelf);
  }
  // An index of schema 6 is the file of 7 (only a server's tables changed): kept as it is and
  // renumbered, not made anew.
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "six");
    db.setDatabaseName(file);
    QVERIFY(db.open());
    QVERIFY(QSqlQuery(db).exec("PRAGMA user_version = 6"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("six");
    library::LibraryIndex index(file);
    QVERIFY(index.Open());
    QVERIFY2(index.Notice().isEmpty(), qPrintable(index.Notice()));
    QCOMPARE(index.Media({shelf}).size(), size_t(2));
  }
  // Garbage where the index was, and an index of an older schema: made anew, with a notice.
  for (const bool garbage : {true, false}) {
    if (garbage) {
      QFile::remove(file + "-wal");
      QFile::remove(file + "-shm");
      WriteFile(file, QByteArray(8192, '\x5a'));
    } else {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
      db.setDatabaseName(file);
      QVERIFY(db.open());
      QSqlQuery(db).exec("PRAGMA user_version = 2");
      db.close();
      db = QSqlDatabase();
      QSqlDatabase::removeDatabase("old");
    }
    library::LibraryIndex index(file);
    QVERIFY(index.Open());
    QVERIFY(!index.InMemory());
    QVERIFY2(index.Notice().contains("made anew"), qPrintable(index.Notice()));
    QCOMPARE(index.Update({shelf}).read.size(), 2);
    QCOMPARE(index.Search("premiere").hits.size(), size_t(1));
  }
  // A cache folder that cannot be made: an index in memory, said so.
  WriteFile(dir.path() + "/plain-file");
  library::LibraryIndex memory(dir.path() + "/plain-file/library.sqlite");
  QVERIFY(memory.Open());
  QVERIFY(memory.InMemory());
  QVERIFY(memory.Notice().contains("kept in memory"));
  QCOMPARE(memory.Update({shelf}).read.size(), 2);
  QCOMPARE(memory.Search("premiere").hits.size(), size_t(1));
}

void LibraryTest::CommandLineFromIndexToHit() {
  const QString ambrel = QStringLiteral(TEST_BIN_DIR "/Ambrel");
  QTemporaryDir home;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CACHE_HOME", home.path() + "/cache");
  env.insert("XDG_CONFIG_HOME", home.path() + "/config");
  auto run = [&](const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ambrel, args);
    if (!p.waitForFinished(60000)) return -1;
    if (out) *out = p.readAllStandardOutput();
    if (err) *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  };
  QByteArray out, err;
  // No library named yet.
  QCOMPARE(run({"--search", "premiere"}, nullptr, &err), 2);
  QVERIFY2(err.contains("no library"), err.constData());
  // Named once, remembered after.
  QCOMPARE(run({"--library", shelf_}, &out), 0);
  QVERIFY2(out.contains("Disc1: 2 presentations"), out.constData());
  QCOMPARE(run({"--search", "premiere", "--json"}, &out), 0);
  const QJsonObject root = QJsonDocument::fromJson(out).object();
  const QJsonArray hits = root["hits"].toArray();
  QCOMPARE(hits.size(), 1);
  const QJsonObject hit = hits[0].toObject();
  QCOMPARE(hit["presentation"].toString(), QString("Archive keynote"));
  QCOMPARE(hit["medium"].toString(), QString("Disc1"));
  QCOMPARE(hit["folder"].toString(), QString("Keynote"));
  QCOMPARE(hit["at"].toString(), QString("0:12"));
  QCOMPARE(hit["where"].toString(), QString("transcript (FRENCH)"));
  QCOMPARE(hit["player"].toString(), QString("Tavisco"));
  QCOMPARE(hit["snippet"].toString(), QString("La première de notre archive."));
  QCOMPARE(run({"--search", "questions", "--library", shelf_}, &out), 0);
  QVERIFY2(out.startsWith("0:06   Spring interview  (Disc1, Interview)  slide title: [Questions]"),
           out.constData());
  QCOMPARE(run({"--search", "nowhere"}, &out), 1);
  QCOMPARE(run({"--search", "?!"}, nullptr, &err), 2);
  QVERIFY2(err.contains("no word"), err.constData());
  QCOMPARE(run({"--search", "x", "--medium", shelf_}, nullptr, &err), 2);

  // One check over every medium: a section each, one status.
  QCOMPARE(run({"--check", "--library", shelf_}, &out), 1);
  QCOMPARE(out.count("\nMedium ") + (out.startsWith("Medium ") ? 1 : 0), 2);
  QVERIFY2(out.contains("2 media checked"), out.constData());
}

// Two media of one folder name (and one more in another case) on a shelf: the collection's export
// and the shelf's preservation give each medium the same folder name, "-2" and "-3" included.
void LibraryTest::ExportAndPreservationNameOneShelfAlike() {
  const QString ambrel = QStringLiteral(TEST_BIN_DIR "/Ambrel");
  QTemporaryDir home;
  const QString shelf = home.path() + "/shelf";
  QMap<QString, QString> titleOf;  // medium folder -> its talk's title
  for (const char* where : {"b/Disc", "a/Disc", "c/disc"}) {
    const QString medium = QDir::cleanPath(shelf + "/" + where);
    const QString title = QStringLiteral("Talk on %1").arg(where);
    WriteLines(medium + "/Data/config.txt", {"Presentations 1", title, "Talk"});
    WriteTalk(medium, "Talk", "Opening", "Bonjour.", "Nothing more");
    titleOf.insert(medium, title);
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CACHE_HOME", home.path() + "/cache");
  env.insert("XDG_CONFIG_HOME", home.path() + "/config");
  auto run = [&](const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ambrel, args);
    p.waitForFinished(120000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
  };
  // The export says where each medium went.
  QMap<QString, QString> exported;  // medium -> folder name
  const QString exportOut = run({"--export", home.path() + "/web", "--library", shelf});
  for (const QString& line : exportOut.split(u'\n')) {
    if (!line.startsWith("Medium ")) continue;
    const QString medium = line.mid(7).section(" -> ", 0, 0);
    exported.insert(QDir::cleanPath(medium), QFileInfo(line.section(" -> ", 1)).fileName());
  }
  // Each bag holds a copy of its medium, known by its talk's title.
  run({"--preserve", home.path() + "/bags", "--library", shelf});
  QMap<QString, QString> preserved;
  for (const QString& bag :
       QDir(home.path() + "/bags").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile config(home.path() + "/bags/" + bag + "/data/medium/Data/config.txt");
    QVERIFY2(config.open(QIODevice::ReadOnly), qPrintable(bag));
    const QString title = QString::fromLatin1(config.readAll()).split("\r\n").value(1);
    preserved.insert(titleOf.key(title), bag);
  }
  QCOMPARE(exported.size(), 3);
  QCOMPARE(QSet<QString>(exported.cbegin(), exported.cend()),
           (QSet<QString>{"Disc", "Disc-2", "disc-3"}));
  QCOMPARE(preserved, exported);
}

// The stamps an index holds were written from QFileInfo's size and time: read the same way
// today, or every medium of every library is read again after an update of the program.
void LibraryTest::StampsAsTheyWereKept() {
  QTemporaryDir dir;
  const QString file = dir.filePath("events.txt");
  const QString folder = dir.filePath("transcripts");
  QVERIFY(QDir().mkpath(folder));
  QFile f(file);
  QVERIFY(f.open(QIODevice::ReadWrite) && f.write("2~0~1\n") > 0 && f.flush());
  // A time with milliseconds, as copies from a disc have.
  QVERIFY(f.setFileTime(QDateTime::fromMSecsSinceEpoch(1086789012345, QTimeZone::utc()),
                        QFileDevice::FileModificationTime));
  f.close();
  auto kept = [](const QString& path) {
    const QFileInfo info(path);
    return QStringLiteral("%1\t%2\t%3")
        .arg(info.isDir() ? 0 : info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(QDir::toNativeSeparators(path));
  };
  QVERIFY(kept(file).contains("\t1086789012345\t"));
  const QString gone = QStringLiteral("-1\t0\t") + QDir::toNativeSeparators(dir.filePath("x"));
  QVERIFY(library::StampsUnchanged(kept(file) + u'\n' + kept(folder) + u'\n' + gone));
  // Changed by a millisecond, by a byte, or come into being: a change.
  QVERIFY(!library::StampsUnchanged(QString(kept(file)).replace("345\t", "346\t")));
  QVERIFY(!library::StampsUnchanged(QString(kept(file)).replace(u'6', u'7')));
  QVERIFY(!library::StampsUnchanged(QStringLiteral("-1\t0\t") + QDir::toNativeSeparators(file)));
}

// The lists by term are kept as bytes and read back with no check but their own form: ids far
// apart and near, long passages, many repeats, and a list cut short (a damaged row) that must
// not be read past its end.
void LibraryTest::PostingListsReadBackAsWritten() {
  const std::vector<library::Posting> written = {
      {1, 24, 0, 1},
      {2, 0, 4, 1},
      {300, 127, 2, 128},
      {301, 128, 3, 1 << 14},
      {(qint64(1) << 40) + 5, 2000, 1, 1},
  };
  QByteArray list;
  qint64 last = 0;
  for (const library::Posting& p : written) library::AppendPosting(list, &last, p);
  std::vector<library::Posting> read;
  QVERIFY(library::DecodePostings(list, &read));
  QCOMPARE(read.size(), written.size());
  for (size_t i = 0; i < read.size(); ++i) {
    QCOMPARE(read[i].passage, written[i].passage);
    QCOMPARE(read[i].length, written[i].length);
    QCOMPARE(read[i].place, written[i].place);
    QCOMPARE(read[i].times, written[i].times);
  }
  for (qsizetype cut = 1; cut < list.size(); ++cut) {
    read.clear();
    const bool whole = library::DecodePostings(list.left(cut), &read);
    // Only a cut between two passages reads as a whole list, and then as the ones before it.
    QVERIFY(read.size() < written.size());
    if (whole) {
      for (size_t i = 0; i < read.size(); ++i) QCOMPARE(read[i].passage, written[i].passage);
    }
  }
}

// A query's passages in one medium's lists, where a word stands for several terms: each passage
// once, with the times of all of them, and the passages holding any of them counted once, as
// counted here by hand, whether the terms' passages lie close together or far apart, and
// whichever word leads.
void LibraryTest::MatchesOfWordsOfSeveralTerms_data() {
  QTest::addColumn<qint64>("spread");     // between the passages of the terms of "b"
  QTest::addColumn<int>("leadPassages");  // of "a"
  QTest::newRow("close, a leads") << qint64(1) << 10;
  QTest::newRow("far apart, a leads") << qint64(5000) << 10;
  QTest::newRow("close, b leads") << qint64(1) << 400;
}

void LibraryTest::MatchesOfWordsOfSeveralTerms() {
  QFETCH(qint64, spread);
  QFETCH(int, leadPassages);
  const qint64 base = 1000000;
  std::map<qint64, int> a;  // passage -> times
  for (int k = 0; k < leadPassages; ++k) a[base + k * 3 * spread] = 1 + k % 2;
  std::map<qint64, int> b;  // passage -> the times of all its terms
  std::vector<library::PostingRow> rows;
  for (int term = 0; term < 3; ++term) {
    QByteArray list;
    qint64 last = 0;
    for (int k = term; k < 60; k += 1 + term) {
      const qint64 passage = base + k * spread;
      library::AppendPosting(list, &last, {passage, 20, 3, 1 + (k + term) % 3});
      b[passage] += 1 + (k + term) % 3;
    }
    rows.push_back({QStringLiteral("b%1").arg(term), 7, list});
  }
  QByteArray list;
  qint64 last = 0;
  for (const auto& [passage, times] : a)
    library::AppendPosting(list, &last, {passage, 20, 3, times});
  rows.push_back({"a", 7, list});

  library::Matches matches({{"a"}, {"b0", "b1", "b2"}});
  QVERIFY(matches.AddMedium(rows.data(), rows.size()));
  QCOMPARE(matches.Held(0), qint64(a.size()));
  QCOMPARE(matches.Held(1), qint64(b.size()));
  size_t i = 0;
  for (const auto& [passage, times] : a) {
    if (!b.count(passage)) continue;
    QVERIFY(i < matches.Found());
    QCOMPARE(matches.Passage(i), passage);
    QCOMPARE(matches.Times(i, 0), times);
    QCOMPARE(matches.Times(i, 1), b[passage]);
    ++i;
  }
  QCOMPARE(matches.Found(), i);
  QVERIFY(i > 0);
}

QTEST_GUILESS_MAIN(LibraryTest)
#include "test_library.moc"
