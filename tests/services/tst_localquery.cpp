#include "dataset/DataSetError.h"
#include "services/HostDatabase.h"
#include "services/LocalQuery.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace prx;

namespace {

// The lookups of the screens, line for line as they are written there.
const QStringList kTipoCons = {"SELECT CDTIPOCONS, NMTIPOCONS", "FROM TIPOCONS", "WHERE",
                               "CDTIPOCONS = :P_CDTIPOCONS OR :P_TCDTIPOCONS = 'T'",
                               "ORDER BY CDTIPOCONS"};
const QStringList kTipoConsFili = {"SELECT",
                                   "  T.CDTIPOCONS, T.NMTIPOCONS",
                                   "FROM",
                                   "   TIPOCONS T, TIPOCONSFILI TF",
                                   "WHERE",
                                   "   (TF.CDFILIAL   = :P_CDFILIAL) AND",
                                   "   (TF.CDTIPOCONS = T.CDTIPOCONS) ",
                                   "ORDER BY T.CDTIPOCONS"};
const QStringList kQryTipoCons = {"SELECT CDTIPOCONS, NMTIPOCONS", "   FROM TIPOCONS", "WHERE",
                                  "   ((CDTIPOCONS = :P_CDTIPOCONS) OR  (:P_TCDTIPOCONS =  'T'))",
                                  "   ORDER BY CDTIPOCONS"};
const QStringList kFilial = {"SELECT",   "   FI.CDFILIAL, FI.NMFILIAL",
                             "FROM",     "   FILIAL FI",
                             "WHERE",    "  ((FI.CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))",
                             "ORDER BY", "   FI.CDFILIAL"};
const QStringList kTabela = {"SELECT",
                             "   CDFILIAL, CDTABEPREC, NMTABEPREC",
                             "FROM",
                             "   TABEPREC",
                             "WHERE",
                             "   (CDFILIAL = :P_CDFILIAL) AND",
                             "   ((CDTABEPREC = :P_CDTABEPREC) OR (:P_TCDTABEPREC = 'T'))",
                             "ORDER BY",
                             "   CDTABEPREC"};
const QStringList kPesqTabela = {"SELECT ",
                                 "   CDTABEPREC",
                                 "FROM ",
                                 "   TABEPREC",
                                 "WHERE",
                                 "   (CDFILIAL = :P_CDFILIAL) AND",
                                 "   (CDTABEPREC = :P_CDTABEPREC)"};
const QStringList kFilialDest = {
    "SELECT", "   CDFILIAL, NMFILIAL",        "FROM",     "   FILIAL",
    "WHERE",  "   (CDFILIAL <> :P_CDFILIAL)", "ORDER BY", "   CDFILIAL"};
const QStringList kTabeVend = {"SELECT DTINIVGPREC, DTFINVGPREC",
                               "FROM TABEVEND",
                               "WHERE (CDFILIAL     =  :P_CDFILIAL)   AND",
                               "      (CDTABEPREC   =  :P_CDTABEPREC) AND",
                               "      (DTINIVGPREC  <> :P_DTINIDEST)  AND",
                               "      ((DTINIVGPREC = :P_DTINIVGPREC) OR (:P_TDTINIVGPREC = 'T'))",
                               "ORDER BY DTINIVGPREC"};

QStringList column(LocalQuery &q, const QString &field)
{
    QStringList values;
    for (int r = 0; r < q.recordCount(); ++r)
        values << q.displayTextAt(r, q.fieldByName(field).index());
    return values;
}

} // namespace

class LocalQueryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // Each lookup, with its pair of parameters: the twin "T" lists every row,
    // otherwise only the rows equal to the first one; a null or unknown code
    // finds nothing. A wrong binding or a mangled statement shows up as
    // wrong rows.
    void lookups_data();
    void lookups();
    // Period starts are date-times: the destination must be excluded and one
    // start found exactly, with no shift by the machine's time zone.
    void dateTimeParameters();
    // Fields defined before opening keep their labels, sizes and calculated
    // values; the dates come back as the stored calendar days.
    void persistentFields();
    // Without fields, columns become fields of the right types.
    void dynamicFields();
    // A value is data, never SQL: quotes in it cannot widen the lookup.
    void parametersAreNeverPasted();
    // Colons inside literals, casts and comments are not parameters, and a
    // misspelt parameter is refused instead of staying null.
    void parameterNames();
    // The host's connection only reads.
    void connectionIsReadOnly();
    // Failures become a Portuguese message, never a silent empty result.
    void failures();
    // Stored date-time texts read back into wall-clock values.
    void readDateTime_data();
    void readDateTime();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void LocalQueryTest::initTestCase()
{
    // A zone with an offset, so that any conversion through local time shows.
    qputenv("TZ", "America/Sao_Paulo");
    tzset();

    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("lookups.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
        db.setDatabaseName(m_file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        const QStringList script = {
            "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))",
            "CREATE TABLE TIPOCONS (CDTIPOCONS VARCHAR(2) PRIMARY KEY, NMTIPOCONS VARCHAR(20))",
            "CREATE TABLE TIPOCONSFILI (CDFILIAL VARCHAR(4), CDTIPOCONS VARCHAR(2))",
            "CREATE TABLE TABEPREC (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3), "
            "NMTABEPREC VARCHAR(20))",
            "CREATE TABLE TABEVEND (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3), "
            "DTINIVGPREC TEXT, DTFINVGPREC TEXT, IDSITVGPREC VARCHAR(1))",
            "INSERT INTO FILIAL VALUES ('0001', 'Restaurante Centro'), "
            "('0002', 'Loja Shopping Iguatemi'), ('0003', 'Quiosque Praia')",
            "INSERT INTO TIPOCONS VALUES ('01', 'Balcão'), ('02', 'Funcionário'), "
            "('03', 'Convênio')",
            "INSERT INTO TIPOCONSFILI VALUES ('0001', '03'), ('0001', '01')",
            "INSERT INTO TABEPREC VALUES ('0001', '001', 'Tabela Padrão'), "
            "('0001', '002', 'Tabela Delivery'), ('0002', '001', 'Tabela Loja')",
            "INSERT INTO TABEVEND VALUES "
            "('0001', '001', '2026-01-01 00:00:00', '2026-01-31 00:00:00', '4'), "
            "('0001', '001', '2026-02-01 00:00:00', '2026-02-28 00:00:00', '3'), "
            "('0001', '001', '2026-03-01 00:00:00', NULL, '1'), "
            "('0001', '002', '2026-02-01 00:00:00', '2026-12-31 00:00:00', '2')"};
        for (const QString &sql : script)
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase("fixture");

    QString error;
    QVERIFY2(HostDatabase::open(m_file, &error), qPrintable(error));
    QVERIFY(!HostDatabase::isPostgres());
}

void LocalQueryTest::cleanupTestCase()
{
    HostDatabase::close();
}

void LocalQueryTest::lookups_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");

    const QVariant null;
    QTest::newRow("consumer types, all")
        << kTipoCons << QVariantMap{{"P_CDTIPOCONS", ""}, {"P_TCDTIPOCONS", "T"}} << "CDTIPOCONS"
        << QStringList{"01", "02", "03"};
    QTest::newRow("consumer type, one")
        << kTipoCons << QVariantMap{{"P_CDTIPOCONS", "02"}, {"P_TCDTIPOCONS", ""}} << "NMTIPOCONS"
        << QStringList{"Funcionário"};
    QTest::newRow("consumer type, unknown")
        << kTipoCons << QVariantMap{{"P_CDTIPOCONS", "99"}, {"P_TCDTIPOCONS", ""}} << "CDTIPOCONS"
        << QStringList{};
    QTest::newRow("consumer types of a branch")
        << kTipoConsFili << QVariantMap{{"P_CDFILIAL", "0001"}} << "CDTIPOCONS"
        << QStringList{"01", "03"};
    QTest::newRow("branch without consumer types")
        << kTipoConsFili << QVariantMap{{"P_CDFILIAL", "0002"}} << "CDTIPOCONS" << QStringList{};
    QTest::newRow("dialog consumer types, all")
        << kQryTipoCons << QVariantMap{{"P_CDTIPOCONS", ""}, {"P_TCDTIPOCONS", "T"}} << "CDTIPOCONS"
        << QStringList{"01", "02", "03"};
    QTest::newRow("dialog consumer type, one")
        << kQryTipoCons << QVariantMap{{"P_CDTIPOCONS", "03"}, {"P_TCDTIPOCONS", ""}}
        << "NMTIPOCONS" << QStringList{"Convênio"};
    QTest::newRow("branches, all")
        << kFilial << QVariantMap{{"P_CDFILIAL", null}, {"P_TCDFILIAL", "T"}} << "CDFILIAL"
        << QStringList{"0001", "0002", "0003"};
    QTest::newRow("branch, one") << kFilial
                                 << QVariantMap{{"P_CDFILIAL", "0002"}, {"P_TCDFILIAL", "N"}}
                                 << "NMFILIAL" << QStringList{"Loja Shopping Iguatemi"};
    QTest::newRow("branch, null code")
        << kFilial << QVariantMap{{"P_CDFILIAL", null}, {"P_TCDFILIAL", "N"}} << "CDFILIAL"
        << QStringList{};
    QTest::newRow("tables of a branch")
        << kTabela
        << QVariantMap{{"P_CDFILIAL", "0001"}, {"P_CDTABEPREC", null}, {"P_TCDTABEPREC", "T"}}
        << "NMTABEPREC" << QStringList{"Tabela Padrão", "Tabela Delivery"};
    QTest::newRow("one table") << kTabela
                               << QVariantMap{{"P_CDFILIAL", "0002"},
                                              {"P_CDTABEPREC", "001"},
                                              {"P_TCDTABEPREC", null}}
                               << "NMTABEPREC" << QStringList{"Tabela Loja"};
    QTest::newRow("table of another branch")
        << kTabela
        << QVariantMap{{"P_CDFILIAL", "0002"}, {"P_CDTABEPREC", "002"}, {"P_TCDTABEPREC", null}}
        << "CDTABEPREC" << QStringList{};
    QTest::newRow("table code exists")
        << kPesqTabela << QVariantMap{{"P_CDFILIAL", "0001"}, {"P_CDTABEPREC", "002"}}
        << "CDTABEPREC" << QStringList{"002"};
    QTest::newRow("destination branches") << kFilialDest << QVariantMap{{"P_CDFILIAL", "0002"}}
                                          << "CDFILIAL" << QStringList{"0001", "0003"};
}

void LocalQueryTest::lookups()
{
    QFETCH(QStringList, sql);
    QFETCH(QVariantMap, params);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);

    LocalQuery q;
    q.setSql(sql);
    QCOMPARE(q.sqlText(), sql.join(QLatin1Char('\n')));
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.setParam(it.key(), it.value());
    q.open();
    QVERIFY(q.isActive());
    QCOMPARE(column(q, field), expected);

    // Reopening with other values runs the statement again.
    q.close();
    q.open();
    QCOMPARE(q.recordCount(), expected.size());
}

void LocalQueryTest::dateTimeParameters()
{
    LocalQuery q;
    q.setSql(kTabeVend);
    QCOMPARE(q.paramNames(), (QStringList{"P_CDFILIAL", "P_CDTABEPREC", "P_DTINIDEST",
                                          "P_DTINIVGPREC", "P_TDTINIVGPREC"}));
    q.setParam("P_CDFILIAL", "0001");
    q.setParam("P_CDTABEPREC", "001");
    q.setParam("P_DTINIDEST", wallClock(QDate(2026, 2, 1)));
    q.setParam("P_DTINIVGPREC", QVariant());
    q.setParam("P_TDTINIVGPREC", "T");
    q.open();
    QCOMPARE(column(q, "DTINIVGPREC"), (QStringList{"01/01/2026", "01/03/2026"}));

    q.setParam("P_TDTINIVGPREC", "N");
    q.setParam("P_DTINIVGPREC", wallClock(QDate(2026, 3, 1)));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").asDateTime(), wallClock(QDate(2026, 3, 1)));
    QVERIFY(q.fieldByName(u"DTFINVGPREC").isNull());

    // A plain date binds as that day at midnight, like the stored starts.
    q.setParam("P_DTINIVGPREC", QDate(2026, 1, 1));
    q.open();
    QCOMPARE(column(q, "DTFINVGPREC"), QStringList{"31/01/2026"});

    // The destination itself is never offered.
    q.setParam("P_DTINIDEST", wallClock(QDate(2026, 1, 1)));
    q.open();
    QVERIFY(q.isEmpty());
}

void LocalQueryTest::persistentFields()
{
    LocalQuery q;
    Field &start = q.addField("DTINIVGPREC", FieldType::DateTime);
    start.setDisplayLabel("Data Inicial");
    Field &end = q.addField("DTFINVGPREC", FieldType::DateTime);
    end.setDisplayLabel("Data Final");
    Field &state = q.addCalculatedField("SITUACAO", FieldType::String, 10);
    state.setDisplayLabel("Situação");
    q.onCalcFields = [](ClientDataSet &ds) {
        const Field &e = ds.fieldByName(u"DTFINVGPREC");
        ds.fieldByName(u"SITUACAO")
            .setAsString(e.isNull() || e.asDateTime().date() >= QDate(2026, 2, 15) ? "Ativa"
                                                                                   : "Inativa");
    };
    q.setSql(kTabeVend);
    q.setParam("P_CDFILIAL", "0001");
    q.setParam("P_CDTABEPREC", "001");
    q.setParam("P_DTINIDEST", wallClock(QDate(2000, 1, 1)));
    q.setParam("P_TDTINIVGPREC", "T");
    q.open();

    QCOMPARE(q.fieldCount(), 3);
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").displayLabel(), QStringLiteral("Data Inicial"));
    QCOMPARE(q.fieldByName(u"SITUACAO").size(), 10);
    QCOMPARE(q.recordCount(), 3);
    QCOMPARE(column(q, "SITUACAO"), (QStringList{"Inativa", "Ativa", "Ativa"}));
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").asDateTime(), wallClock(QDate(2026, 1, 1)));
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").asDateTime().time(), QTime(0, 0));

    // The fields survive a close and a reopen.
    q.close();
    q.open();
    QCOMPARE(q.fieldByName(u"DTFINVGPREC").displayLabel(), QStringLiteral("Data Final"));
}

void LocalQueryTest::dynamicFields()
{
    LocalQuery q;
    q.setSql({"SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
              "length(IDSITVGPREC) AS NRTAM, 1.5 * length(CDTABEPREC) AS VRTESTE",
              "FROM TABEVEND WHERE CDFILIAL = :P_CDFILIAL ORDER BY DTINIVGPREC"});
    q.setParam("P_CDFILIAL", "0001");
    q.open();
    QCOMPARE(q.recordCount(), 4);
    QCOMPARE(q.fieldByName(u"CDFILIAL").type(), FieldType::String);
    QVERIFY(q.fieldByName(u"CDFILIAL").size() >= 4);
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").type(), FieldType::DateTime);
    QCOMPARE(q.fieldByName(u"DTFINVGPREC").type(), FieldType::DateTime); // nulls included
    QCOMPARE(q.fieldByName(u"NRTAM").type(), FieldType::Integer);
    QCOMPARE(q.fieldByName(u"VRTESTE").type(), FieldType::Float);
    QCOMPARE(q.fieldByName(u"VRTESTE").asFloat(), 4.5);
    QCOMPARE(q.fieldByName(u"DTINIVGPREC").asDateTime(), wallClock(QDate(2026, 1, 1)));

    // A text column whose name looks like a date but holds other text stays text.
    q.close();
    q.setSql({"SELECT NMFILIAL AS DTTEXTO FROM FILIAL ORDER BY CDFILIAL"});
    q.open();
    QCOMPARE(q.fieldByName(u"DTTEXTO").type(), FieldType::String);
    QCOMPARE(q.fieldByName(u"DTTEXTO").asString(), QStringLiteral("Restaurante Centro"));
}

void LocalQueryTest::parametersAreNeverPasted()
{
    LocalQuery q;
    q.setSql(kFilial);
    q.setParam("P_CDFILIAL", "0001') OR ('1' = '1");
    q.setParam("P_TCDFILIAL", "N");
    q.open();
    QVERIFY(q.isEmpty());

    q.setParam("P_CDFILIAL", "0001");
    q.setParam("P_TCDFILIAL", "T' OR 'x' = 'x");
    q.open();
    QCOMPARE(q.recordCount(), 1);
}

void LocalQueryTest::parameterNames()
{
    LocalQuery q;
    q.setSql({"SELECT ':P_FALSO' AS A, CAST(1 AS INTEGER) AS B -- :P_COMENTARIO",
              "/* :P_BLOCO */ FROM FILIAL WHERE CDFILIAL = :p_cdfilial OR :P_CDFILIAL = 'x'"});
    QCOMPARE(q.paramNames(), QStringList{"p_cdfilial"});
    QVERIFY(q.hasParam(":P_CDFILIAL"));
    QVERIFY_THROWS_EXCEPTION(DataSetError, q.setParam("P_FALSO", "x"));
    QVERIFY_THROWS_EXCEPTION(DataSetError, q.setParam("P_CDFILAL", "0001"));
    q.setParam(":P_CDFILIAL", "0003"); // bound at both places
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldByName(u"A").asString(), QStringLiteral(":P_FALSO"));

    // Changing the statement keeps the values of the parameters it still has.
    q.close();
    q.setSql(kFilialDest);
    QCOMPARE(q.param("P_CDFILIAL").toString(), QStringLiteral("0003"));
    q.open();
    QCOMPARE(column(q, "CDFILIAL"), (QStringList{"0001", "0002"}));
    q.close();
    q.setSql(kTipoCons);
    QVERIFY(q.param("P_CDFILIAL").isNull());
}

void LocalQueryTest::connectionIsReadOnly()
{
    LocalQuery q;
    q.setSql({"DELETE FROM TIPOCONS"});
    QVERIFY_THROWS_EXCEPTION(DataSetError, q.open());
    LocalQuery count;
    count.setSql({"SELECT COUNT(*) AS N FROM TIPOCONS"});
    count.open();
    QCOMPARE(count.fieldByName(u"N").asInteger(), 3);
}

void LocalQueryTest::failures()
{
    LocalQuery q;
    q.setSql({"SELECT * FROM TABELA_QUE_NAO_EXISTE"});
    try {
        q.open();
        QFAIL("a statement that fails must raise");
    } catch (const DataSetError &e) {
        QVERIFY(e.message().startsWith(QStringLiteral("Erro na consulta local: ")));
    }
    QVERIFY(!q.isActive());

    LocalQuery other;
    other.setSql(kFilial);
    other.setConnectionName("conexao-inexistente");
    try {
        other.open();
        QFAIL("a closed connection must raise");
    } catch (const DataSetError &e) {
        QCOMPARE(e.message(), QStringLiteral("A base de dados local não está aberta."));
    }

    // Opening something that is not a database is refused at once.
    QString error;
    QVERIFY(!HostDatabase::open(m_dir.filePath("nao-existe.db"), &error));
    QCOMPARE(
        error,
        QStringLiteral("Base de dados não encontrada: %1.").arg(m_dir.filePath("nao-existe.db")));
    QFile text(m_dir.filePath("texto.db"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    QVERIFY(!HostDatabase::open(text.fileName(), &error));
    QVERIFY(error.startsWith(QStringLiteral("Não foi possível")));
    QVERIFY(!HostDatabase::isOpen());
    QVERIFY(!HostDatabase::open("mysql://h/base", &error));
    QVERIFY(error.startsWith(QStringLiteral("Endereço de base de dados inválido")));

    QVERIFY2(HostDatabase::open(m_file, &error), qPrintable(error));
}

void LocalQueryTest::readDateTime_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("text with seconds")
        << QVariant("2026-12-07 10:30:15") << wallClock(QDate(2026, 12, 7), QTime(10, 30, 15));
    QTest::newRow("text with T and fraction")
        << QVariant("2026-12-07T10:30:15.25")
        << wallClock(QDate(2026, 12, 7), QTime(10, 30, 15, 250));
    QTest::newRow("date only") << QVariant("2026-02-01") << wallClock(QDate(2026, 2, 1));
    QTest::newRow("midnight of a DST change")
        << QVariant("2018-11-04 00:00:00") << wallClock(QDate(2018, 11, 4));
    QTest::newRow("driver date-time") << QVariant(QDateTime(QDate(2026, 3, 1), QTime(8, 0)))
                                      << wallClock(QDate(2026, 3, 1), QTime(8, 0));
    QTest::newRow("impossible day") << QVariant("2026-02-30 00:00:00") << QDateTime();
    QTest::newRow("Brazilian order") << QVariant("07/12/2026") << QDateTime();
    QTest::newRow("number") << QVariant(20261207) << QDateTime();
}

void LocalQueryTest::readDateTime()
{
    QFETCH(QVariant, stored);
    QFETCH(QDateTime, expected);
    const QDateTime read = HostDatabase::readDateTime(stored);
    QCOMPARE(read.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(read.date(), expected.date());
        QCOMPARE(read.time(), expected.time());
        QCOMPARE(read, expected);
    }
}

QTEST_GUILESS_MAIN(LocalQueryTest)
#include "tst_localquery.moc"
