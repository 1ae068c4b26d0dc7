// Text read from a damaged file, as it is shown: one printable line, what does not print written
// as \xNN or \uNNNN, cut at a sensible length. A table of texts and what is shown of each.

#include <QtTest>

#include "medium/PrintableText.h"

using medium::PrintableText;
using medium::PrintableTextLines;

class PrintableTextTest : public QObject {
  Q_OBJECT

 private slots:
  void Line_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("shown");
    const QString a298(298, u'a');
    QTest::newRow("plain") << "Data/config.txt: line 3" << 300 << "Data/config.txt: line 3";
    QTest::newRow("accents and other scripts")
        << QStringLiteral("Première réunion · Größe · йогурт · 会议") << 300
        << QStringLiteral("Première réunion · Größe · йогурт · 会议");
    QTest::newRow("outside the basic plane")
        << QStringLiteral("mic \U0001F3A4") << 300 << QStringLiteral("mic \U0001F3A4");
    QTest::newRow("a medium's path keeps its backslashes")
        << "\\Data\\Talk1\\events.txt" << 300 << "\\Data\\Talk1\\events.txt";
    QTest::newRow("tab as a blank") << "a\tb" << 300 << "a b";
    QTest::newRow("line feed") << "one\ntwo" << 300 << "one\\x0Atwo";
    QTest::newRow("CR LF") << "one\r\ntwo" << 300 << "one\\x0D\\x0Atwo";
    QTest::newRow("NUL") << QString::fromUtf16(u"a\0b", 3) << 300 << "a\\x00b";
    QTest::newRow("terminal escape") << "\x1b[31mred" << 300 << "\\x1B[31mred";
    QTest::newRow("DEL") << "a\x7f" << 300 << "a\\x7F";
    QTest::newRow("C1 next line") << QStringLiteral("a\u0085b") << 300 << "a\\x85b";
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << 300 << "a\\u2028b";
    QTest::newRow("right-to-left override")
        << QStringLiteral("file\u202Etxt.exe") << 300 << "file\\u202Etxt.exe";
    QTest::newRow("zero width space") << QStringLiteral("a\u200Bb") << 300 << "a\\u200Bb";
    QTest::newRow("byte order mark") << QStringLiteral("\uFEFFtext") << 300 << "\\uFEFFtext";
    QTest::newRow("noncharacter") << QStringLiteral("a\uFFFF") << 300 << "a\\uFFFF";
    QTest::newRow("a half surrogate pair")
        << QString::fromUtf16(u"a\xD800z", 3) << 300 << "a\\uD800z";
    QTest::newRow("replacement character stays")
        << QStringLiteral("bad \uFFFD byte") << 300 << QStringLiteral("bad \uFFFD byte");
    QTest::newRow("exactly the length") << QString(300, u'x') << 300 << QString(300, u'x');
    QTest::newRow("cut") << QString(400, u'x') << 300 << QString(299, u'x') + QChar(0x2026);
    QTest::newRow("an escape is never cut in half")
        << a298 + "\x01z" << 300 << a298 + QChar(0x2026);
    QTest::newRow("a surrogate pair is never cut in half")
        << a298 + QStringLiteral("\U0001F3A4z") << 300 << a298 + QChar(0x2026);
    QTest::newRow("an escape that ends the text fits")
        << QString(296, u'a') + "\x01" << 300 << QString(296, u'a') + "\\x01";
  }
  void Line() {
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, shown);
    const QString line = PrintableText(QStringView(text), max);
    QCOMPARE(line, shown);
    QVERIFY(line.size() <= max);
  }

  void Bytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9 \xe4\xbc\x9a") << QStringLiteral("café 会");
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x8e\xa4") << QStringLiteral("\U0001F3A4");
    QTest::newRow("Windows-1252") << QByteArray("Premi\xe8re") << "Premi\\xE8re";
    QTest::newRow("no UTF-8 at all") << QByteArray("\xff\xfe") << "\\xFF\\xFE";
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << "\\xC0\\xAF";
    QTest::newRow("cut short") << QByteArray("a\xe2\x82") << "a\\xE2\\x82";
    QTest::newRow("a surrogate encoded") << QByteArray("\xed\xa0\x80") << "\\xED\\xA0\\x80";
    QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << "\\xF4\\x90\\x80\\x80";
    QTest::newRow("bell and line feed") << QByteArray("a\x07\nb") << "a\\x07\\x0Ab";
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << "a\\x00b";
  }
  void Bytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(PrintableText(QByteArrayView(bytes)), shown);
  }

  void BytesCut() {
    const QByteArray bytes = QByteArray(1000, '\xff');
    const QString line = PrintableText(QByteArrayView(bytes), 30);
    // Seven escapes of four characters, then the mark.
    QCOMPARE(line, QString("\\xFF").repeated(7) + QChar(0x2026));
  }

  void Lines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("every line end")
        << "one\r\ntwo\nthree\rfour" << 10 << QStringList{"one", "two", "three", "four"};
    QTest::newRow("a last line end adds no line") << "one\n" << 10 << QStringList{"one"};
    QTest::newRow("empty lines stay") << "a\n\nb" << 10 << QStringList{"a", "", "b"};
    QTest::newRow("the rest counted")
        << "1\n2\n3\n4" << 2 << QStringList{"1", "2", QStringLiteral("… and 2 more lines")};
    QTest::newRow("one more") << "1\n2\n3" << 2
                              << QStringList{"1", "2", QStringLiteral("… and 1 more line")};
    QTest::newRow("each line printable") << "a\x1b\nb\tc" << 10 << QStringList{"a\\x1B", "b c"};
  }
  void Lines() {
    QFETCH(QString, text);
    QFETCH(int, maxLines);
    QFETCH(QStringList, shown);
    QCOMPARE(PrintableTextLines(QStringView(text), maxLines), shown);
  }
};

QTEST_GUILESS_MAIN(PrintableTextTest)
#include "test_printable_text.moc"
