// prx-cli check: its exit status tells a script whether the database holds
// any row that breaks a rule, and its output says which.
#include "ServerProcess.h"

#include "storage/Storage.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace prx::server;

class TestCliCheck : public QObject
{
    Q_OBJECT

private slots:
    void exitStatus_data();
    void exitStatus();
};

void TestCliCheck::exitStatus_data()
{
    QTest::addColumn<QStringList>("plant");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");

    // Two periods of one table, the second starting inside the first.
    const QStringList base = {
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Centro')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '001', 'Balcão')",
        "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) "
        "VALUES ('0001', '001', '2026-01-01 00:00:00', '2026-01-31 00:00:00', '1')"};
    QTest::newRow("empty database") << QStringList() << 0 << "Nenhuma inconsistência encontrada.";
    QTest::newRow("one sound period") << base << 0
                                      << "SOBREPOSICAO (Períodos de vigência "
                                         "sobrepostos): 0";
    QTest::newRow("overlapping periods")
        << base + QStringList{"INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                              "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', '001', "
                              "'2026-01-15 00:00:00', '2026-02-15 00:00:00', '1')"}
        << 1 << "[SOBREPOSICAO] filial 0001, tabela 001, vigência 01/01/2026";
}

void TestCliCheck::exitStatus()
{
    QFETCH(QStringList, plant);
    QFETCH(int, status);
    QFETCH(QString, output);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("check.sqlite"));
    {
        QString error;
        std::unique_ptr<Storage> db = Storage::open(file, &error);
        QVERIFY2(db, qPrintable(error));
        db->createSchema();
        for (const QString &sql : plant)
            db->execDirect(sql);
    }
    QString text;
    QCOMPARE(ServerProcess::runCli({"check", "--db", file}, &text), status);
    QVERIFY2(text.contains(output), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestCliCheck)
#include "tst_clicheck.moc"
