// Faults of the library's index met on hostile shelves: a transcript section of 20 MB, a disk
// that fills up, an index damaged behind its header, a medium taken away while it is read, an
// index path that is a folder or a link to nothing, and a medium's folder whose name is no
// UTF-8. Each case failed before its mending.

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "library/LibraryIndex.h"
#include "medium/LocalNames.h"
#include "tests/support/FileTree.h"

namespace {

// A medium of talks with one English section each (the section's text given per talk).
void WriteMedium(const QString& medium, const QStringList& sections) {
  QStringList config{QStringLiteral("Presentations %1").arg(sections.size())};
  for (int t = 1; t <= sections.size(); ++t)
    config << QStringLiteral("Talk %1").arg(t) << QStringLiteral("T%1").arg(t);
  WriteLines(medium + "/Data/config.txt", config);
  for (int t = 1; t <= sections.size(); ++t) {
    const QString data = medium + QStringLiteral("/Data/T%1").arg(t);
    WriteLines(data + "/database.txt", {"SlideMode=0", "MediaMode=0"});
    WriteLines(data + "/events.txt", {"2~4000~1"});
    WriteLines(data + "/transcripts/ENGLISH.html",
               {"<p><a name=\"SECTION1\"></a>", sections[t - 1], "</p>"});
  }
}

struct Run {
  int code = -1;
  QString out;
  QString err;
};

}  // namespace

class IndexFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void LongPassageAnswersAtOnce();
  void FullDiskKeepsTheIndex();
  void DamagedIndexIsMadeAnew();
  void MediumVanishingWhileReadKeepsItsEntries();
  void IndexPathThatIsNoFileIsNamed();
  void FolderNamedInBytesThatAreNoUtf8_data();
  void FolderNamedInBytesThatAreNoUtf8();

 private:
  Run Ambrel(const QStringList& args);
  // Ambrel with its arguments as bytes: QProcess would make text of them, and a name that is no
  // UTF-8 would reach the program as another name.
  Run AmbrelWithBytes(const QList<QByteArray>& args);
  QTemporaryDir home_;
};

Run IndexFaultsTest::Ambrel(const QStringList& args) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CACHE_HOME", home_.path() + "/cache");
  env.insert("XDG_CONFIG_HOME", home_.path() + "/config");
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(TEST_BIN_DIR "/Ambrel"), args);
  Run run;
  if (!p.waitForFinished(300000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.out = QString::fromUtf8(p.readAllStandardOutput());
  run.err = QString::fromUtf8(p.readAllStandardError());
  run.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return run;
}

Run IndexFaultsTest::AmbrelWithBytes(const QList<QByteArray>& args) {
  std::vector<QByteArray> env{"XDG_CACHE_HOME=" + QFile::encodeName(home_.path() + "/cache"),
                              "XDG_CONFIG_HOME=" + QFile::encodeName(home_.path() + "/config"),
                              "QT_QPA_PLATFORM=offscreen"};
  for (const char* keep : {"PATH", "HOME", "LANG", "LC_ALL", "XDG_RUNTIME_DIR"}) {
    if (qEnvironmentVariableIsSet(keep)) env.push_back(QByteArray(keep) + '=' + qgetenv(keep));
  }
  const QByteArray program = TEST_BIN_DIR "/Ambrel";
  std::vector<char*> argv{const_cast<char*>(program.constData())};
  for (const QByteArray& a : args) argv.push_back(const_cast<char*>(a.constData()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (QByteArray& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  int out[2];
  Run run;
  if (::pipe(out) != 0) return run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  QByteArray bytes;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.out = QString::fromUtf8(bytes);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void IndexFaultsTest::LongPassageAnswersAtOnce() {
  // 20 MB of common words in one section: the snippet was cut from all of it (minutes).
  const QString shelf = home_.path() + "/long";
  QString section;
  section.reserve(21 * 1024 * 1024);
  const QStringList words{"the", "archive", "of", "talks", "and", "their", "slides", "again"};
  for (int i = 0; section.size() < 20 * 1024 * 1024; ++i) section += words[i % 8] + u' ';
  section += QStringLiteral("lighthouse");
  WriteMedium(shelf + "/disc", {section, "A short talk about the archive."});
  const QString index = "sqlite:" + home_.path() + "/long.sqlite";
  QCOMPARE(Ambrel({"--library", shelf, "--index", index}).code, 0);
  QElapsedTimer t;
  t.start();
  const Run run = Ambrel({"--search", "archive", "--library", shelf, "--index", index});
  const qint64 ms = t.elapsed();
  QCOMPARE(run.code, 0);
  const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
  QVERIFY(lines.size() >= 2);
  for (const QString& line : lines) QVERIFY2(line.size() < 400, qPrintable(line.left(500)));
  // Only a guard against the old square of the size (204 s at 8 MB); the goal of 1 s is met
  // and measured in bench_library_long.
  QVERIFY2(ms < 30000, qPrintable(QString::number(ms)));
  // The last word of the section is found in its last piece.
  const Run last = Ambrel({"--search", "lighthouse", "--library", shelf, "--index", index});
  QCOMPARE(last.code, 0);
  QVERIFY2(last.out.contains("[lighthouse]"), qPrintable(last.out.left(500)));
  // The collection page gets the section whole again.
  library::LibraryIndex read(index);
  QVERIFY(read.Open());
  const std::vector<library::MediumEntry> media = read.Media();
  QCOMPARE(media.size(), size_t(1));
  qsizetype length = 0;
  read.Passages(media.front().presentations.front().id,
                [&](const library::StoredPassage& p) { length = std::max(length, p.text.size()); });
  QCOMPARE(length, section.size());
}

void IndexFaultsTest::FullDiskKeepsTheIndex() {
  const QString disk = home_.path() + "/disk";
  QDir().mkpath(disk);
  if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=2m") != 0)
    QSKIP("no small file system of its own can be mounted here (needs root)");
  struct Unmount {
    QString at;
    ~Unmount() { ::umount2(QFile::encodeName(at).constData(), MNT_DETACH); }
  } unmount{disk};
  const QString shelf = home_.path() + "/full-shelf";
  QStringList sections;
  for (int t = 0; t < 8; ++t)
    sections << QStringLiteral("The harbour lighthouse number %1 of the archive.").arg(t);
  WriteMedium(shelf + "/disc", sections);
  const QString file = disk + "/library.sqlite";
  QCOMPARE(Ambrel({"--library", shelf, "--index", "sqlite:" + file}).code, 0);
  const qint64 size = QFileInfo(file).size();
  QVERIFY(size > 0);
  // The disk filled to its last byte.
  {
    QFile filler(disk + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.write("x", 1);
  }
  // A medium changed, so that the search would write.
  WriteLines(shelf + "/disc/Data/T1/transcripts/ENGLISH.html",
             {"<p><a name=\"SECTION1\"></a>", "A harbour changed.", "</p>"});
  const Run run = Ambrel({"--search", "harbour", "--library", shelf, "--index", "sqlite:" + file});
  QVERIFY2(run.code == 0, qPrintable(run.err + run.out));
  QVERIFY2(run.out.count('\n') >= 7, qPrintable(run.out));
  QVERIFY2(run.err.contains("full"), qPrintable(run.err));
  QVERIFY2(!run.err.contains("made anew"), qPrintable(run.err));
  QVERIFY(QFileInfo(file).size() >= size);
}

void IndexFaultsTest::DamagedIndexIsMadeAnew() {
  const QString shelf = home_.path() + "/damaged-shelf";
  QStringList sections;
  for (int t = 0; t < 40; ++t)
    sections << QStringLiteral(
                    "Talk %1 about the harbour and its lighthouse keepers, with many "
                    "more words so that the index has pages enough.")
                    .arg(t)
                    .repeated(20);
  WriteMedium(shelf + "/disc", sections);
  const QString file = home_.path() + "/damaged.sqlite";
  const QString index = "sqlite:" + file;
  QCOMPARE(Ambrel({"--library", shelf, "--index", index}).code, 0);
  // Everything checkpointed into the file, then pages 5 to the end overwritten: the header and
  // the schema stay.
  QCOMPARE(Ambrel({"--search", "harbour", "--library", shelf, "--index", index}).code, 0);
  QFile::remove(file + "-wal");
  QFile::remove(file + "-shm");
  {
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.size() > 8 * 4096);
    f.seek(4 * 4096);
    f.write(QByteArray(int(f.size() - 4 * 4096), '\x5a'));
  }
  const Run search = Ambrel({"--search", "lighthouse", "--library", shelf, "--index", index});
  QVERIFY2(search.code == 0, qPrintable(search.err));
  QVERIFY2(search.err.contains("made anew"), qPrintable(search.err));
  const Run listing = Ambrel({"--library", shelf, "--index", index});
  QCOMPARE(listing.code, 0);
  QVERIFY2(listing.out.contains(": 40 presentations"), qPrintable(listing.out));
}

void IndexFaultsTest::MediumVanishingWhileReadKeepsItsEntries() {
  const QString shelf = home_.path() + "/vanish";
  // Talks enough that reading the medium takes a while.
  QStringList sections;
  for (int t = 0; t < 80; ++t)
    sections << QStringLiteral("The harbour keeper %1 and the lighthouse. ").arg(t).repeated(400);
  WriteMedium(shelf + "/disc", sections);
  const QString file = home_.path() + "/vanish.sqlite";
  library::LibraryIndex index(file);
  QVERIFY(index.Open());
  QCOMPARE(index.Update({shelf}).read.size(), 1);
  WriteLines(shelf + "/disc/Data/T80/transcripts/ENGLISH.html",
             {"<p><a name=\"SECTION1\"></a>", "The keeper changed.", "</p>"});
  // Taken away while the second reading is under way.
  bool moved = false;
  const library::UpdateResult u = index.Update({shelf}, [&](const library::IndexProgress& p) {
    if (!moved && p.presentation >= 2 && p.presentation < p.presentations) {
      moved = QDir().rename(shelf + "/disc", home_.path() + "/vanished-disc");
    }
  });
  if (!moved) QSKIP("the medium was read before it could be taken away");
  QVERIFY2(u.problems.join('\n').contains("vanished while it was read"),
           qPrintable(u.problems.join('\n').left(2000)));
  QVERIFY(u.read.isEmpty());
  // What it held before stays whole: every talk, the old words, nothing of the new.
  const std::vector<library::MediumEntry> media = index.Media();
  QCOMPARE(media.size(), size_t(1));
  QCOMPARE(media.front().presentations.size(), size_t(80));
  QVERIFY(index.Search("keeper 79").hits.size() >= 1);
  QCOMPARE(index.Search("changed").hits.size(), size_t(0));
}

void IndexFaultsTest::IndexPathThatIsNoFileIsNamed() {
  const QString folder = home_.path() + "/index-folder";
  QDir().mkpath(folder);
  const QString dangling = home_.path() + "/dangling.sqlite";
  QVERIFY(QFile::link(home_.path() + "/nowhere/library.sqlite", dangling));
  struct Case {
    QString path;
    QString said;
  };
  for (const Case& c : {Case{folder, "is a folder"}, Case{dangling, "is a link to"}}) {
    library::LibraryIndex index(c.path);
    QVERIFY(index.Open());
    QVERIFY(index.InMemory());
    QVERIFY2(index.Notice().contains(c.said), qPrintable(index.Notice()));
    QVERIFY2(!index.Notice().contains("cache folder"), qPrintable(index.Notice()));
  }
  if (::geteuid() != 0) {
    const QString locked = home_.path() + "/locked.sqlite";
    WriteFile(locked, "");
    QFile::setPermissions(locked, QFileDevice::ReadOwner);
    library::LibraryIndex index(locked);
    QVERIFY(index.Open());
    QVERIFY2(index.Notice().contains("cannot be written by this user"), qPrintable(index.Notice()));
  }
}

void IndexFaultsTest::FolderNamedInBytesThatAreNoUtf8_data() {
  QTest::addColumn<bool>("direct");  // the medium's folder given itself, not the shelf above it
  QTest::newRow("on a shelf") << false;
  QTest::newRow("given directly") << true;
}

void IndexFaultsTest::FolderNamedInBytesThatAreNoUtf8() {
  QFETCH(bool, direct);
  // A disc written on a Latin-1 system: its folder's name ends in the byte 0xFF. Qt lists it as
  // "disc\uFFFD", a name under which there is nothing.
  const QString shelf = home_.path() + (direct ? "/bytes-direct" : "/bytes-shelf");
  WriteMedium(shelf + "/plain",
              {"The harbour of the disc with a plain name.", "Another talk about the harbour."});
  const QByteArray raw = QFile::encodeName(shelf) + "/disc\xff";
  QVERIFY(::rename(QFile::encodeName(shelf + "/plain").constData(), raw.constData()) == 0);
  const QString medium = medium::NameFromBytes(raw);
  const QString given = direct ? medium : shelf;

  const library::Discovery found = library::FindMedia({given});
  QCOMPARE(found.media, QStringList{medium});
  QVERIFY(found.skipped.empty());
  const QString index = home_.path() + (direct ? "/bytes-direct.sqlite" : "/bytes-shelf.sqlite");
  {
    library::LibraryIndex library(index);
    QVERIFY(library.Open());
    const library::UpdateResult u = library.Update({given});
    // Read whole: the talks' own gaps (no details, no slides) are all this small medium lacks.
    QVERIFY2(!u.problems.join('\n').contains("config.txt"), qPrintable(u.problems.join('\n')));
    QCOMPARE(u.read, QStringList{medium});
    // Read through, listed and named by its bytes, and known unchanged the next time.
    const std::vector<library::MediumEntry> media = library.Media({given});
    QCOMPARE(media.size(), size_t(1));
    QCOMPARE(media.front().path, medium);
    QVERIFY(media.front().present);
    QCOMPARE(media.front().presentations.size(), size_t(2));
    QCOMPARE(library::ShownPath(media.front().name), QString("disc\\xFF"));
    const library::SearchResult hits = library.Search("harbour", {given});
    QCOMPARE(hits.hits.size(), size_t(2));
    QCOMPARE(hits.hits.front().mediumPath, medium);
    QCOMPARE(library.Update({given}).unchanged, QStringList{medium});
  }
  // On the command line, given as the bytes it is.
  const QByteArray folder = direct ? raw : QFile::encodeName(shelf);
  const Run listing = AmbrelWithBytes({"--library", folder, "--index", QFile::encodeName(index)});
  QCOMPARE(listing.code, 0);
  QVERIFY2(listing.out.contains("/disc\\xFF: 2 presentations"), qPrintable(listing.out));
  const Run search = AmbrelWithBytes(
      {"--search", "harbour", "--library", folder, "--index", QFile::encodeName(index)});
  QCOMPARE(search.code, 0);
  QVERIFY2(search.out.contains("disc\\xFF, T1)"), qPrintable(search.out));
}

QTEST_GUILESS_MAIN(IndexFaultsTest)
#include "test_index_faults.moc"
