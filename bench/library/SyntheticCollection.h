#pragma once
// A synthetic collection for measuring the library: media of presentations with slides and
// transcript sections in several languages, in the medium's own layout and encoding. The text is
// drawn from a made-up vocabulary with the skewed word frequencies of real speech (a few words
// very common, most rare), with accented words among them, so that searches meet long and short
// lists of passages as they would on real discs.

#include <QString>
#include <QStringList>

namespace bench {

struct CollectionShape {
  int media = 20;
  int presentations = 50;  // per medium
  int slides = 50;
  int sections = 300;
  int languages = 3;
  int wordsPerSection = 24;
};

class Vocabulary {
 public:
  explicit Vocabulary(quint32 seed = 17);
  const QStringList& Words() const { return words_; }  // by rank, most common first
  const QStringList& Accented() const { return accented_; }
  // A word drawn with the skewed frequencies.
  const QString& Draw();
  // A sentence of n words.
  QString Sentence(int n);
  quint32 Next();

 private:
  quint32 state_;
  QStringList words_;
  QStringList accented_;
  std::vector<double> cumulative_;
};

// Writes the collection below root (root/medium01 ... ); one recording made by ffmpeg (when it
// is installed) is linked into every presentation, so the library reads a real header. Returns
// false with the reason when the files cannot be written.
bool WriteCollection(const QString& root, const CollectionShape& shape, QString* error);

// A number given on the command line as "NAME N", else fallback.
int Arg(const QStringList& args, const QString& name, int fallback);

// The collection the library's benches share: its folder (--dir, "bench-library" by default),
// the media below it in shelf, and its shape (--media, --presentations).
struct BenchCollection {
  QString dir;
  QString shelf;
  CollectionShape shape;
};

// Reads the collection's options and writes it, unless a marker in its folder says a collection
// of that shape is there already (writing takes minutes, measuring is done again and again).
// Says what it does on standard output; false with the reason when it cannot be written.
bool PrepareCollection(const QStringList& args, BenchCollection* collection, QString* error);

}  // namespace bench
