// Searching a transcript as a reader types: case- and accent-blind, matches in the shown text.

#include <QtTest>

#include "presentation/TextSearch.h"

using textsearch::FindAll;
using textsearch::Match;

Q_DECLARE_METATYPE(QList<Match>)

namespace {

QList<Match> M(std::initializer_list<std::pair<int, int>> parts) {
  QList<Match> list;
  for (const auto& [start, length] : parts) list.append({start, length});
  return list;
}

QString Show(const QList<Match>& list) {
  QStringList parts;
  for (const Match& m : list) parts << QStringLiteral("%1+%2").arg(m.start).arg(m.length);
  return parts.join(u' ');
}

}  // namespace

class TextSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void findAll_data() {
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QList<Match>>("expected");
    QTest::newRow("plain") << "the slide"
                           << "slide" << M({{4, 5}});
    QTest::newRow("case") << "Slide and SLIDE"
                          << "slide" << M({{0, 5}, {10, 5}});
    QTest::newRow("accent in text") << "La Première fois"
                                    << "premiere" << M({{3, 8}});
    QTest::newRow("accent in needle") << "la premiere"
                                      << "PREMIÈRE" << M({{3, 8}});
    // "e" followed by a combining grave accent: the match covers the mark too.
    QTest::newRow("combining mark") << QStringLiteral("Pre\u0300s") << "pre" << M({{0, 4}});
    QTest::newRow("mark only needle") << "abc" << QStringLiteral("\u0301") << M({});
    QTest::newRow("empty needle") << "abc"
                                  << "" << M({});
    QTest::newRow("no match") << "Bonjour"
                              << "hello" << M({});
    QTest::newRow("not overlapping") << "aaaa"
                                     << "aa" << M({{0, 2}, {2, 2}});
    QTest::newRow("sharp s") << "Straße"
                             << "strasse" << M({{0, 6}});
    QTest::newRow("oe ligature") << "cœur"
                                 << "coeur" << M({{0, 4}});
    QTest::newRow("fi ligature") << QStringLiteral("\uFB01nal") << "final" << M({{0, 4}});
    QTest::newRow("non-breaking space")
        << QStringLiteral("deux\u00A0mots") << "deux mots" << M({{0, 9}});
    QTest::newRow("german umlaut") << "Grüße aus Köln"
                                   << "koln" << M({{10, 4}});
    QTest::newRow("cedilla") << "Ça va"
                             << "ca" << M({{0, 2}});
    QTest::newRow("polish l") << "Łódź"
                              << "lodz" << M({{0, 4}});
    // A letter outside the basic plane keeps both its code units inside the match.
    QTest::newRow("surrogate pair")
        << QStringLiteral("a\U0001D400b") << QStringLiteral("\U0001D400b") << M({{1, 3}});
    QTest::newRow("greek accent") << "Καλημέρα"
                                  << "καλημερα" << M({{0, 8}});
  }
  void findAll() {
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    QFETCH(QList<Match>, expected);
    const QList<Match> found = FindAll(haystack, needle);
    QCOMPARE(Show(found), Show(expected));
  }

  // Every match maps back onto text that folds to the needle itself.
  void matchesFoldBackToNeedle_data() {
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::newRow("french") << "Première, deuxième et PREMIÈRE fois"
                            << "première";
    QTest::newRow("decomposed") << QStringLiteral("Pre\u0300mie\u0300re premiere") << "PREMIERE";
    QTest::newRow("spanish") << "Año, AÑO, ano"
                             << "ano";
  }
  void matchesFoldBackToNeedle() {
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    const QList<Match> found = FindAll(haystack, needle);
    QVERIFY(!found.isEmpty());
    for (const Match& m : found) {
      QCOMPARE(textsearch::FoldedKey(haystack.mid(m.start, m.length)),
               textsearch::FoldedKey(needle));
    }
  }

  void foldedKey_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("upper accents") << "ÉCOLE"
                                   << "ecole";
    QTest::newRow("full width") << QStringLiteral("\uFF21\uFF22") << "ab";
    QTest::newRow("tab is a space") << "a\tb"
                                    << "a b";
    QTest::newRow("digits kept") << "Slide 12"
                                 << "slide 12";
  }
  void foldedKey() {
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(textsearch::FoldedKey(text), key);
  }
};

QTEST_GUILESS_MAIN(TextSearchTest)
#include "test_text_search.moc"
