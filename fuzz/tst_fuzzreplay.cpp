// Every file of the fuzz corpus (the seeds and whatever fuzzing found worth
// keeping) run through its target's entry function in the ordinary, sanitized
// test build: a reader change that brings back an old crash, leak or broken
// round trip fails here without a fuzzing run.
#include "FuzzEntries.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
};

void TestFuzzReplay::corpus_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    const QDir root(QStringLiteral(PRX_FUZZ_CORPUS_DIR));
    for (int t = 0; t < int(std::size(prx::fuzz::targets)); ++t) {
        const QString name = QString::fromLatin1(prx::fuzz::targets[t].name);
        const QDir dir(root.filePath(name));
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        // A target without seeds would pass while testing nothing.
        QVERIFY2(!files.isEmpty(), qPrintable(QStringLiteral("no corpus for ") + name));
        for (const QString &file : files)
            QTest::newRow(qPrintable(name + u'/' + file)) << t << dir.filePath(file);
    }
}

void TestFuzzReplay::corpus()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(prx::fuzz::targets[target].entry(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                              size_t(bytes.size())),
             0);
}

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
