// The player's command line, field splitting and the model's lists.

#include <QtTest>

#include "medium/Report.h"
#include "presentation/CommandLine.h"
#include "presentation/Fields.h"
#include "presentation/Model.h"
#include "presentation/Readers.h"

class FoundationTest : public QObject {
  Q_OBJECT
 private slots:
  void commandLine_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("presFolder");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    QTest::newRow("-p") << "-p Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("/p") << "/p Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("-P") << "-P Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("/P") << "/P Q1Results"
                        << "Q1Results" << none;
    QTest::newRow("switch alone") << "-p"
                                  << "ABB"
                                  << QStringList{"Filename not specified, using default value."};
    QTest::newRow("trailing blank") << "-p "
                                    << "" << none;
    QTest::newRow("two blanks") << "-p  Name"
                                << "Name" << none;
    QTest::newRow("two names") << "-p First Second"
                               << "Second" << none;
    QTest::newRow("no switch") << "Q1Results"
                               << "" << QStringList{"Invalid argument: Q1Results"};
    QTest::newRow("case kept in message") << "-X y"
                                          << "" << QStringList{"Invalid argument: -X"};
    QTest::newRow("empty") << ""
                           << "" << QStringList{"Subscript out of range", "Subscript out of range"};
  }
  void commandLine() {
    QFETCH(QString, args);
    QFETCH(QString, presFolder);
    QFETCH(QStringList, messages);
    medium::RecordingReporter r("Tavisco");
    QCOMPARE(ReadCommandLine(args, r), presFolder);
    QCOMPARE(r.Texts(), messages);
    for (const auto& m : r.messages) QCOMPARE(m.caption, "Tavisco");
  }

  void fields_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::newRow("five fields, first") << "a~b~c~d~e" << 4 << 0 << "a";
    QTest::newRow("five fields, last") << "a~b~c~d~e" << 4 << 4 << "e";
    QTest::newRow("five fields, beyond") << "a~b~c~d~e" << 4 << 5 << "";
    QTest::newRow("no separator, 0") << "whole" << 0 << 0 << "whole";
    QTest::newRow("no separator, 1") << "whole" << 0 << 1 << "";
    QTest::newRow("empty line") << "" << 0 << 0 << "";
    QTest::newRow("ends with ~") << "0~5~" << 2 << 2 << "";
    QTest::newRow("two in a row") << "a~~c" << 2 << 1 << "";
    QTest::newRow("not shifted") << "a~~c" << 2 << 2 << "c";
    QTest::newRow("negative index") << "a~b" << 1 << -1 << "a";
    QTest::newRow("blanks kept") << "0~ 12 ~x" << 2 << 1 << " 12 ";
  }
  void fields() {
    QFETCH(QString, line);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, field);
    QCOMPARE(int(GetNumFields(line)), count);
    QCOMPARE(GetField(int16_t(index), line), field);
  }

  // The last "~" whose following position still fits in 16 bits is at character 32766.
  void fieldsOfLongLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("overflow");
    const QString a32765(32765, u'a');
    QTest::newRow("~ at 32766") << a32765 + "~b" << 1 << "b" << false;
    QTest::newRow("~ at 32766, field 0") << a32765 + "~b" << 0 << a32765 << false;
    QTest::newRow("~ at 32767") << a32765 + "a~b" << 1 << "" << true;
    QTest::newRow("~ at 32767, field 0") << a32765 + "a~b" << 0 << "" << true;
    QTest::newRow("~ far beyond") << "0~" + QString(40000, u'x') + "~7" << 1 << "" << true;
    // Without a "~" beyond 32766 a long field is no problem: only separators take positions.
    QTest::newRow("long last field")
        << "0~" + QString(40000, u'x') << 1 << QString(40000, u'x') << false;
    QTest::newRow("many short fields") << QString("1~").repeated(16383) << 16382 << "1" << false;
  }
  void fieldsOfLongLines() {
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QString, field);
    QFETCH(bool, overflow);
    try {
      const QString got = GetField(int16_t(index), line);
      QVERIFY2(!overflow, "a field past a \"~\" beyond character 32766 was returned");
      QCOMPARE(got, field);
    } catch (const medium::AppError& e) {
      QVERIFY2(overflow, qPrintable(e.description()));
      QCOMPARE(e.number(), int(medium::kOverflow));
      QVERIFY2(e.description().startsWith("Overflow"), qPrintable(e.description()));
    }
  }

  void separatorCountAndStartOfLongLines() {
    const QString fits = QString(32765, u'a') + "~b";
    QCOMPARE(int(GetNumFields(fits)), 1);
    QCOMPARE(int(FieldStart(fits, 1)), 32767);
    const QString beyond = QString(32766, u'a') + "~b";
    QVERIFY_THROWS_EXCEPTION(medium::AppError, GetNumFields(beyond));
    QVERIFY_THROWS_EXCEPTION(medium::AppError, FieldStart(beyond, 1));
    // Before the separator that overflows, the start of field 0 is still known.
    QCOMPARE(int(FieldStart(beyond, 0)), 1);
  }

  // In the timeline each step that needs a field of such a line reports the overflow; the
  // record keeps its initial values instead of taking a wrong field, and the next line reads.
  void timelineLineWithFarSeparator() {
    struct NoTexts : TranscriptTexts {
      QString GetTranscriptText(int16_t, int16_t) override { return {}; }
    } texts;
    struct NoSink : TimelineSink {
      void AddSlideTitle(const QString&) override {}
      void SlideAppended(const Slide_cls&, int16_t) override {}
    } sink;
    const QByteArray far = "0~1000~Deck~2~" + QByteArray(32760, 'T') + "~9~Wrong";
    medium::TextStream stream;
    stream.OpenBytes(far + "\r\n0~2000~Deck~3~Next\r\n");
    medium::RecordingReporter reporter;
    Slides_cls slides;
    Anns_cls anns;
    Trans_cls trans;
    ReadTimeline(stream, reporter, 0, texts, 0, slides, anns, trans, sink);
    // The kind, then time, deck, number and title of the far line.
    QCOMPARE(int(reporter.messages.size()), 5);
    for (const medium::Message& m : reporter.messages)
      QVERIFY2(m.text.startsWith("Overflow"), qPrintable(m.text));
    QCOMPARE(int(slides.Slides.Count()), 2);
    QCOMPARE(slides.Slides.Item(1).SlideTime, 0.0);
    QCOMPARE(slides.Slides.Item(1).SlidePres, QString());
    QCOMPARE(int(slides.Slides.Item(1).SlideNum), 0);
    QCOMPARE(slides.Slides.Item(1).SlideName, QString());
    QCOMPARE(slides.Slides.Item(2).SlideName, QString("Next"));
  }

  void fieldStart() {
    QCOMPARE(int(FieldStart("ab~cd~e", 0)), 1);
    QCOMPARE(int(FieldStart("ab~cd~e", 2)), 7);
    QCOMPARE(int(FieldStart("ab~cd~e", -3)), 1);
  }

  void listsAreOneBasedAndGuarded() {
    Slides_cls holder;
    QCOMPARE(int(holder.Slides.Count()), 0);
    auto s = std::make_unique<Slide_cls>();
    s->SetAttribs(60000, "Deck", 7, "Seven");
    holder.Slides.Add(std::move(s));
    Slide_cls second;
    second.SlideNum = 8;
    holder.Slides.Add(second);
    QCOMPARE(holder.Slides.Item(1).SlideNum, int16_t(7));
    QCOMPARE(holder.Slides.Item(2).SlideNum, int16_t(8));
    QVERIFY(&holder.Slides.Item(1) != &holder.Slides.Item(2));
    for (int k : {0, 3, -1}) {
      try {
        holder.Slides.Item(k);
        QFAIL("fetch outside 1..count succeeded");
      } catch (const medium::AppError& e) {
        QCOMPARE(e.number(), int(medium::kSubscriptOutOfRange));
      }
    }
  }

  void listStopsAtSixteenBits() {
    OneBasedList<int> list;
    for (int i = 0; i < 32767; ++i) list.Add(i);
    QCOMPARE(int(list.Count()), 32767);
    bool raised = false;
    try {
      list.Add(0);
    } catch (const medium::AppError& e) {
      raised = e.number() == medium::kOverflow;
    }
    QVERIFY(raised);
    QCOMPARE(int(list.Count()), 32767);
  }
};

QTEST_GUILESS_MAIN(FoundationTest)
#include "test_foundation.moc"
