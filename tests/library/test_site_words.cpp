// The collection site's words are the index's words: each text of a table cut and folded by the
// site (SiteWords) and by SQLite's own tokenizer with the index's options, through an FTS5 table
// in memory and its fts5vocab view.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "library/SiteWords.h"

class SiteWordsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("w"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY2(q.exec(QStringLiteral("CREATE VIRTUAL TABLE t USING fts5(x, tokenize = 'unicode61 "
                                   "remove_diacritics 2')")),
             qPrintable(q.lastError().text()));
    QVERIFY(q.exec(QStringLiteral("CREATE VIRTUAL TABLE v USING fts5vocab(t, 'instance')")));
  }

  void SameAsTheIndex_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "The first showing of our archive.";
    QTest::newRow("case and accents")
        << QStringLiteral("Première RÉUNION, Déploiement: économie à Noël");
    QTest::newRow("German") << QStringLiteral("Größe Übersicht Änderung Prüfung STRASSE");
    QTest::newRow("Spanish") << QStringLiteral("señal dirección información público");
    QTest::newRow("Nordic and Polish") << QStringLiteral("Ærø Œuvre łódź Øresund ŁÓDŹ");
    QTest::newRow("other scripts keep their marks") << QStringLiteral("йогурт ёлка Άθηνα ώρα");
    QTest::newRow("Turkish capital I with a dot") << QStringLiteral("İstanbul Işık");
    QTest::newRow("decomposed accents") << QStringLiteral("e\u0301te\u0301 cafe\u0301");
    QTest::newRow("digits and punctuation") << "Slide 7: 2004-06-01, v1.2 (99%) x_y a/b";
    QTest::newRow("apostrophes and quotes") << QStringLiteral("l'été don’t «bonjour»");
    QTest::newRow("long s and micro sign") << QStringLiteral("ſtate µm");
    QTest::newRow("CJK runs") << QStringLiteral("会议 記録 テスト");
    QTest::newRow("line breaks and tabs") << "Speaker:\tAnna\r\nRoom 4\n";
  }
  void SameAsTheIndex() {
    QFETCH(QString, text);
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("w"));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("DELETE FROM t")));
    q.prepare(QStringLiteral("INSERT INTO t(rowid, x) VALUES (1, ?)"));
    q.addBindValue(text);
    QVERIFY(q.exec());
    QVERIFY(q.exec(QStringLiteral("SELECT term FROM v ORDER BY offset")));
    QStringList index;
    while (q.next()) index << q.value(0).toString();
    QCOMPARE(library::SiteWords(text), index);
  }
};

QTEST_GUILESS_MAIN(SiteWordsTest)
#include "test_site_words.moc"
