// The masters of the engine tests' recordings (WMA, WMV, RealVideo with AC-3, RealMedia sound
// alone) are proved lossless and play in the players' own engine, headless: the position
// advances, no message is shown, and a picture stream is decoded at its size.
#include <mpv/client.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "medium/Paths.h"
#include "player/media/EngineControl.h"
#include "player/media/EngineFactory.h"
#include "preserver/Masters.h"
#include "tests/support/TempMedium.h"

namespace {

const QString kRecordings = QStringLiteral(RECORDINGS_DIR);

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class MastersPlayTest : public QObject {
  Q_OBJECT

 private slots:
  void masterPlays_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("width");  // 0: sound alone
    QTest::newRow("wma") << "media.wma" << qint64(0);
    QTest::newRow("wmv") << "media.wmv" << qint64(320);
    QTest::newRow("rm") << "media.rm" << qint64(320);
    QTest::newRow("rm sound only") << "audio.rm" << qint64(0);
  }
  void masterPlays() {
    QFETCH(QString, file);
    QFETCH(qint64, width);
    const QString input = kRecordings + u'/' + file;
    QVERIFY2(QFile::exists(input), qPrintable(input));
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_format", "-show_streams", "-of", "json", input});
    QVERIFY(probe.waitForFinished(60000));
    const preserver::MasterPlan plan =
        preserver::PlanMaster(QJsonDocument::fromJson(probe.readAllStandardOutput()).object());
    QTemporaryDir out;
    const preserver::MasterJob job{input, out.filePath("media.mkv"), out.filePath("o.hash"),
                                   out.filePath("m.hash")};
    const preserver::MasterResult made =
        preserver::MakeMaster(jobs::FfmpegTools::FromPath(), plan, job, {}, nullptr);
    QVERIFY2(made.proved, qPrintable(made.error + made.differences.join("; ")));

    TempMedium copy;
    copy.Write("Media/P/media.mkv", Read(job.master));
    QWidget window;
    auto engine = CreateEngine(PlayerBuild::Tavisco, &window, {true, false});
    engine->OpenMedia(medium::BuildPath({medium::ApplicationFolder(), "\\Media\\P\\media.mkv"}));
    engine->Play();
    QElapsedTimer clock;
    clock.start();
    while (engine->GetPositionMs() < 0 && clock.elapsed() < 5000) QTest::qWait(5);
    const double first = engine->GetPositionMs();
    QVERIFY2(first >= 0, "the master did not open");
    QTest::qWait(700);
    const double later = engine->GetPositionMs();
    QVERIFY2(later > first + 400, qPrintable(QString("%1 -> %2").arg(first).arg(later)));
    auto* control = qobject_cast<EngineControl*>(engine->Widget());
    QVERIFY(control->StatusText().isEmpty());
    int64_t decodedWidth = 0;
    mpv_get_property(control->Core()->Handle(), "width", MPV_FORMAT_INT64, &decodedWidth);
    QCOMPARE(qint64(decodedWidth), width);
  }
};

QTEST_MAIN(MastersPlayTest)
#include "test_masters_play.moc"
