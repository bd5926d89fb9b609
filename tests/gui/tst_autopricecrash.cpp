#include "ServerFixture.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using prx::test::ServerFixture;

// A server killed in the middle of a price calculation over 100,000
// products leaves the database exactly as it was: the calculation is one
// transaction, and nothing of it may survive the crash.
class AutoPriceCrashTest : public QObject
{
    Q_OBJECT

private slots:
    void killDuringCalculationChangesNothing();

private:
    static constexpr int kProducts = 100000;

    // Every row of the tables a calculation touches, hashed.
    static QByteArray checksum(const QString &file)
    {
        QByteArray result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "crash-check");
            db.setDatabaseName(file);
            if (db.open()) {
                QCryptographicHash hash(QCryptographicHash::Sha1);
                QSqlQuery q(db);
                for (const char *sql :
                     {"SELECT * FROM ITEMPRECO ORDER BY 1, 2, 3, 4, 5",
                      "SELECT * FROM PRODUTO ORDER BY 1", "PRAGMA integrity_check"}) {
                    q.exec(QString::fromLatin1(sql));
                    while (q.next()) {
                        for (int c = 0; c < q.record().count(); ++c)
                            hash.addData((q.value(c).toString() + u'|').toUtf8());
                    }
                }
                result = hash.result().toHex();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("crash-check"));
        return result;
    }

    // Products enough for a long calculation, added to the small demo in SQL
    // (the demo generator itself would take a minute under the sanitizers):
    // leaf products of branch 0001's segment, each with a cost, a percentage
    // and a tax rate (the calculation considers taxes: without one a product
    // is skipped, not written).
    static bool addProducts(const QString &file)
    {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "crash-fill");
            db.setDatabaseName(file);
            ok = db.open();
            QSqlQuery q(db);
            const QString numbers =
                QStringLiteral(
                    "WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < %1) ")
                    .arg(kProducts);
            for (const QString &sql :
                 {numbers + "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD) SELECT "
                            "printf('X%09d', I), 'Produto de carga ' || I, "
                            "printf('9%07d', I) FROM N",
                  numbers + "INSERT INTO PRODSEGMER SELECT F.CDSEGMER, printf('X%09d', I) "
                            "FROM N, FILIAL F WHERE F.CDFILIAL = '0001'",
                  numbers + "INSERT INTO CUSTOPROD SELECT '0001', printf('X%09d', I), 1, "
                            "(I % 5000) / 100.0 + 1 FROM N",
                  numbers + "INSERT INTO PERCCUSTO SELECT '0001', printf('X%09d', I), 35.5 FROM N",
                  numbers + "INSERT INTO ALIQPROD SELECT '0001', printf('X%09d', I), 18 FROM N"}) {
                ok = ok && q.exec(sql);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("crash-fill"));
        return ok;
    }
};

void AutoPriceCrashTest::killDuringCalculationChangesNothing()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("crash.sqlite"));
    QString output;
    QVERIFY2(ServerFixture::runCli({"demo", "--db", file, "--products", "60", "--branches", "1"},
                                   &output),
             qPrintable(output));
    QVERIFY(addProducts(file));
    const QByteArray before = checksum(file);
    QVERIFY(!before.isEmpty());

    QProcess server;
    server.setStandardErrorFile(dir.filePath(QStringLiteral("server.log")));
    server.start(ServerFixture::program(QStringLiteral("prx-server")),
                 {"--db", file, "--listen", "127.0.0.1:0"});
    QVERIFY(server.waitForStarted(10000));
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]+:(\\d+)"));
    QByteArray said;
    QString port;
    for (QDeadlineTimer deadline(30000); port.isEmpty() && !deadline.hasExpired();) {
        server.waitForReadyRead(100);
        said += server.readAllStandardOutput();
        port = listening.match(QString::fromLocal8Bit(said)).captured(1);
    }
    QVERIFY2(!port.isEmpty(), said.constData());

    // The period in force of table 001, all products, taxes, cost type 1.
    const QDate start = QDate::currentDate().addDays(-30);
    QProcess call;
    call.setProcessChannelMode(QProcess::MergedChannels);
    call.start(ServerFixture::program(QStringLiteral("prx-cli")),
               {"call", "--server", "127.0.0.1:" + port, "SetCalcPreco", "0001", "001",
                "t:" + start.toString(Qt::ISODate) + "T00:00", "3", "", "b:false", "b:true",
                "i:1"});
    QVERIFY(call.waitForStarted(10000));

    // The writes have begun once the log of the open transaction grows.
    const QString wal = file + QStringLiteral("-wal");
    const qint64 walBefore = QFileInfo(wal).size();
    bool writing = false;
    for (QDeadlineTimer deadline(120000); !writing && !deadline.hasExpired();) {
        QTest::qWait(5);
        writing = QFileInfo(wal).size() > walBefore + 512 * 1024;
        QVERIFY2(call.state() == QProcess::Running,
                 "the calculation ended before the server could be killed");
    }
    QVERIFY(writing);
    server.kill(); // SIGKILL: no chance to roll back or close anything
    QVERIFY(server.waitForFinished(10000));
    QVERIFY(call.waitForFinished(30000));
    QVERIFY2(call.exitCode() != 0, call.readAll().constData());

    QCOMPARE(checksum(file), before);
}

QTEST_GUILESS_MAIN(AutoPriceCrashTest)
#include "tst_autopricecrash.moc"
