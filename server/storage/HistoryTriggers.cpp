#include "storage/HistoryTriggers.h"

#include "storage/Storage.h"

#include <QStringList>

namespace prx::server {

namespace {

thread_local QString currentUser;
thread_local QString currentOperation;

// The price columns whose changes are kept, per table.
const QStringList kItemPrices = {"VRPRECITEM",   "VRPRECITEMDLV", "VRPRECITEMCMD",
                                 "VRPRECITEMCL", "VRPRESUGITEM",  "VRCUSTITEM"};
const QStringList kDayPrices = {"VRPRECODIA", "VRPRECODIADLV", "VRPRECODIACMD",
                                "PRECO",      "PRECODLV",      "PRECOCMD"};
const QStringList kItemKey = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"};
const QStringList kDayKey = {"CDTIPOCONSPD", "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA",
                             "DTINIVALPREC"};

struct PriceTable
{
    QString name;
    const QStringList &prices;
    bool dayPrices;
};

const QList<PriceTable> &priceTables()
{
    static const QList<PriceTable> tables = {{QStringLiteral("ITEMPRECO"), kItemPrices, false},
                                             {QStringLiteral("ITEMPRECODIA"), kDayPrices, true}};
    return tables;
}

QString historyColumns(const PriceTable &t)
{
    QStringList columns = {"DTHISTPRECO", "NMUSUARIO", "NMOPERACAO", "IDTPALTHIST", "IDTPREGHIST"};
    columns << kItemKey;
    if (t.dayPrices)
        columns << kDayKey;
    columns << QStringList{"NMCAMPO", "VRANTERIOR", "VRNOVO"};
    return columns.join(u", ");
}

// "r.CDFILIAL, r.CDTABEPREC, ..." for the keys of the row.
QString keyValues(const PriceTable &t, const QString &row)
{
    QStringList values;
    for (const QString &c : kItemKey)
        values << row + u'.' + c;
    if (t.dayPrices) {
        for (const QString &c : kDayKey)
            values << row + u'.' + c;
    }
    return values.join(u", ");
}

// Item rows of a composite's components carry the composite's code.
QString rowKind(const PriceTable &t, const QString &row)
{
    if (t.dayPrices)
        return QStringLiteral("'D'");
    return QStringLiteral("CASE WHEN %1.CDPRODUTO = %1.CDPRPAITABPR THEN 'I' ELSE 'C' END")
        .arg(row);
}

// The changed-or-not values of each price column as rows (c, a, b): column,
// old value, new value, with NULL for the side the event has not. PostgreSQL
// takes a VALUES list with named columns; SQLite a compound select.
QString valueRows(const PriceTable &t, const QString &oldRow, const QString &newRow, bool sqlite)
{
    const QString none = QStringLiteral("CAST(NULL AS DOUBLE PRECISION)");
    QStringList rows;
    for (const QString &c : t.prices) {
        const QString a = oldRow.isEmpty() ? none : oldRow + u'.' + c;
        const QString b = newRow.isEmpty() ? none : newRow + u'.' + c;
        rows << (sqlite ? QStringLiteral("SELECT '%1' AS c, %2 AS a, %3 AS b")
                        : QStringLiteral("('%1', %2, %3)"))
                    .arg(c, a, b);
    }
    return sqlite ? u'(' + rows.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(") v")
                  : QStringLiteral("(VALUES %1) v(c, a, b)").arg(rows.join(u", "));
}

QString anyPriceChanged(const PriceTable &t, const QString &oldRow, const QString &newRow,
                        const QString &differs)
{
    QStringList terms;
    for (const QString &c : t.prices)
        terms << QStringLiteral("%1.%3 %4 %2.%3").arg(oldRow, newRow, c, differs);
    return terms.join(QStringLiteral(" OR "));
}

QStringList historyTable(const Storage &storage)
{
    const bool sqlite = storage.dialect().isSqlite();
    const QString id = sqlite ? QStringLiteral("NRHISTPRECO INTEGER PRIMARY KEY")
                              : QStringLiteral("NRHISTPRECO BIGINT GENERATED ALWAYS AS "
                                               "IDENTITY PRIMARY KEY");
    const QString moment = sqlite ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMP(0)");
    // No foreign keys: the history outlives the rows it tells of.
    QStringList ddl = {QStringLiteral("CREATE TABLE IF NOT EXISTS HISTPRECO (\n"
                                      "    %1,\n"
                                      "    DTHISTPRECO %2 NOT NULL,\n"
                                      "    NMUSUARIO VARCHAR(40) NOT NULL,\n"
                                      "    NMOPERACAO VARCHAR(40) NOT NULL,\n"
                                      "    IDTPALTHIST VARCHAR(1) NOT NULL,\n"
                                      "    IDTPREGHIST VARCHAR(1) NOT NULL,\n"
                                      "    CDFILIAL VARCHAR(4) NOT NULL,\n"
                                      "    CDTABEPREC VARCHAR(3) NOT NULL,\n"
                                      "    DTINIVGPREC %2 NOT NULL,\n"
                                      "    CDPRODUTO VARCHAR(10) NOT NULL,\n"
                                      "    CDPRPAITABPR VARCHAR(10) NOT NULL,\n"
                                      "    CDTIPOCONSPD VARCHAR(2),\n"
                                      "    NRDIASEMANPR VARCHAR(1),\n"
                                      "    HRINIPRECDIA VARCHAR(4),\n"
                                      "    HRFINPRECDIA VARCHAR(4),\n"
                                      "    DTINIVALPREC %2,\n"
                                      "    NMCAMPO VARCHAR(20) NOT NULL,\n"
                                      "    VRANTERIOR DOUBLE PRECISION,\n"
                                      "    VRNOVO DOUBLE PRECISION\n"
                                      ")")
                           .arg(id, moment),
                       QStringLiteral("CREATE INDEX IF NOT EXISTS IXHISTPRECOPROD ON HISTPRECO "
                                      "(CDFILIAL, CDTABEPREC, CDPRPAITABPR)")};
    if (sqlite) {
        ddl << QStringLiteral("CREATE TABLE IF NOT EXISTS HISTCONTEXTO (\n"
                              "    CDCONTEXTO INTEGER PRIMARY KEY CHECK (CDCONTEXTO = 1),\n"
                              "    NMUSUARIO VARCHAR(40),\n"
                              "    NMOPERACAO VARCHAR(40)\n"
                              ")")
            << QStringLiteral("INSERT OR IGNORE INTO HISTCONTEXTO (CDCONTEXTO) VALUES (1)");
    }
    return ddl;
}

// SQLite: one trigger per table and event; the insert reads the caller from
// HISTCONTEXTO (once per statement: the subqueries do not depend on the row).
QString sqliteTrigger(const PriceTable &t, const char *event)
{
    const QString ev = QLatin1String(event);
    const bool insert = ev == u"INSERT";
    const bool remove = ev == u"DELETE";
    const QString row = remove ? QStringLiteral("old") : QStringLiteral("new");
    const QString when =
        (insert || remove)
            ? QString()
            : QStringLiteral(" WHEN %1")
                  .arg(anyPriceChanged(t, QStringLiteral("old"), QStringLiteral("new"),
                                       QStringLiteral("IS NOT")));
    return QStringLiteral(
               "CREATE TRIGGER IF NOT EXISTS TRHIST%1%2 AFTER %2 ON %1%3 BEGIN "
               "INSERT INTO HISTPRECO (%4) "
               "SELECT datetime('now', 'localtime'), "
               "COALESCE((SELECT NULLIF(NMUSUARIO, '') FROM HISTCONTEXTO), 'desconhecido'), "
               "COALESCE((SELECT NMOPERACAO FROM HISTCONTEXTO), ''), '%5', %6, %7, "
               "v.c, v.a, v.b FROM %8 WHERE v.a IS NOT v.b; END")
        .arg(t.name, ev, when, historyColumns(t),
             QLatin1String(insert   ? "I"
                           : remove ? "E"
                                    : "A"),
             rowKind(t, row), keyValues(t, row),
             valueRows(t, insert ? QString() : QStringLiteral("old"),
                       remove ? QString() : QStringLiteral("new"), true));
}

// "a.K = b.K AND ..." over the row's key.
QString sameKey(const PriceTable &t, const QString &a, const QString &b, const QString &equal)
{
    QStringList terms;
    QStringList key = kItemKey;
    if (t.dayPrices)
        key << kDayKey;
    for (const QString &c : key)
        terms << QStringLiteral("%1.%3 %4 %2.%3").arg(a, b, c, equal);
    return terms.join(QStringLiteral(" AND "));
}

// Who, what and when, read once per firing into the function's variables:
// written into the statement itself, the planner would evaluate the settings
// again for every history row, a good part of the cost of writing one.
const QString kCallerVariables = QStringLiteral(
    "  hist_usuario VARCHAR(40) := LEFT(COALESCE(NULLIF(current_setting('prx.usuario', true), "
    "''), 'desconhecido'), 40);\n"
    "  hist_operacao VARCHAR(40) := LEFT(COALESCE(current_setting('prx.operacao', true), ''), "
    "40);\n"
    "  hist_momento TIMESTAMP(0) := LOCALTIMESTAMP(0);\n");

// The history rows of a set of changed rows: `from` names the row r and the
// values v(c, a, b); the caller's name comes from the variables above.
QString postgresHistoryInsert(const PriceTable &t, const QString &kind, const QString &from)
{
    return QStringLiteral("INSERT INTO HISTPRECO (%1)\n"
                          "  SELECT hist_momento, hist_usuario, hist_operacao, '%2', %3, %4, v.c, "
                          "v.a, v.b\n"
                          "  FROM %5 WHERE v.a IS DISTINCT FROM v.b")
        .arg(historyColumns(t), kind, rowKind(t, QStringLiteral("r")),
             keyValues(t, QStringLiteral("r")), from);
}

QString postgresFunction(const QString &name, const QString &statement,
                         const QString &settings = QString())
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql %3 AS "
                          "$f$\nDECLARE\n%4BEGIN\n  %2;\n  RETURN NULL;\nEND\n$f$")
        .arg(name, statement, settings, kCallerVariables);
}

// Old and new rows of an update are paired by their key. Transition tables
// have no statistics, and the planner then sorts both sides (on disk past a
// few thousand rows, comparing text by collation) where hashing one side
// takes a fraction of the time.
const QString kPairingSettings =
    QStringLiteral("SET enable_mergejoin TO off SET work_mem TO '64MB'");

// PostgreSQL: the history of a statement is written by one statement, from
// the rows it inserted, deleted or updated (transition tables), so a bulk
// change pays one insert, not a function call per row. An updated row is
// paired with its old self by the key. An update that moves a row to another
// key (a differentiated price given other hours, one row a statement) cannot
// be paired that way: a row trigger, fired only when both the key and a
// price change, writes its rows as the row's new key with old and new price.
QStringList postgresTriggers(const PriceTable &t)
{
    const QString base = QStringLiteral("PRX_HIST%1").arg(t.name);
    const QString newRows = QStringLiteral("n r CROSS JOIN LATERAL %1")
                                .arg(valueRows(t, QString(), QStringLiteral("r"), false));
    const QString oldRows = QStringLiteral("o r CROSS JOIN LATERAL %1")
                                .arg(valueRows(t, QStringLiteral("r"), QString(), false));
    const QString pairedRows =
        QStringLiteral("o JOIN n r ON %1 CROSS JOIN LATERAL %2")
            .arg(sameKey(t, QStringLiteral("o"), QStringLiteral("r"), QStringLiteral("=")),
                 valueRows(t, QStringLiteral("o"), QStringLiteral("r"), false));
    const QString movedRow =
        QStringLiteral("CREATE OR REPLACE FUNCTION %1_MOVIDA() RETURNS trigger LANGUAGE plpgsql "
                       "AS $f$\nDECLARE o %2; r %2;\n%4BEGIN\n  o := OLD; r := NEW;\n  %3;\n"
                       "  RETURN NULL;\nEND\n$f$")
            .arg(base, t.name,
                 postgresHistoryInsert(
                     t, QStringLiteral("A"),
                     valueRows(t, QStringLiteral("o"), QStringLiteral("r"), false)),
                 kCallerVariables);
    QStringList keyMoved;
    {
        QStringList key = kItemKey;
        if (t.dayPrices)
            key << kDayKey;
        for (const QString &c : key)
            keyMoved << QStringLiteral("OLD.%1 IS DISTINCT FROM NEW.%1").arg(c);
    }
    const QString trigger =
        QStringLiteral("CREATE OR REPLACE TRIGGER TRHIST%1%2 AFTER %3 ON %1 REFERENCING %4 "
                       "FOR EACH STATEMENT EXECUTE FUNCTION %5_%2()");
    return {postgresFunction(base + QStringLiteral("_I"),
                             postgresHistoryInsert(t, QStringLiteral("I"), newRows)),
            postgresFunction(base + QStringLiteral("_E"),
                             postgresHistoryInsert(t, QStringLiteral("E"), oldRows)),
            postgresFunction(base + QStringLiteral("_A"),
                             postgresHistoryInsert(t, QStringLiteral("A"), pairedRows),
                             kPairingSettings),
            movedRow,
            trigger.arg(t.name, QStringLiteral("I"), QStringLiteral("INSERT"),
                        QStringLiteral("NEW TABLE AS n"), base),
            trigger.arg(t.name, QStringLiteral("E"), QStringLiteral("DELETE"),
                        QStringLiteral("OLD TABLE AS o"), base),
            trigger.arg(t.name, QStringLiteral("A"), QStringLiteral("UPDATE"),
                        QStringLiteral("OLD TABLE AS o NEW TABLE AS n"), base),
            QStringLiteral("CREATE OR REPLACE TRIGGER TRHIST%1M AFTER UPDATE ON %1 FOR EACH ROW "
                           "WHEN ((%2) AND (%3)) EXECUTE FUNCTION %4_MOVIDA()")
                .arg(t.name, keyMoved.join(QStringLiteral(" OR ")),
                     anyPriceChanged(t, QStringLiteral("OLD"), QStringLiteral("NEW"),
                                     QStringLiteral("IS DISTINCT FROM")),
                     base)};
}

// Trigger names of PostgreSQL, today's and those of older databases.
const char *const kPostgresTriggerSuffixes[] = {"I", "E", "A", "M", "ID"};

} // namespace

const QList<std::pair<QString, QString>> &historyOperationNames()
{
    static const QList<std::pair<QString, QString>> names = {
        {QStringLiteral("SetItemPreco"), QStringLiteral("Digitação de preços")},
        {QStringLiteral("SetItemPrecoComp"), QStringLiteral("Digitação de preços de componentes")},
        {QStringLiteral("SetPrecoHora"), QStringLiteral("Digitação de preços diferenciados")},
        {QStringLiteral("setApagaPreco"), QStringLiteral("Limpeza dos preços do produto")},
        {QStringLiteral("SetCalcPreco"), QStringLiteral("Cálculo de preços")},
        {QStringLiteral("SetItemPrecoAtuPrec"), QStringLiteral("Atualização de preços")},
        {QStringLiteral("SetUpdItemPrecoAlt"), QStringLiteral("Alteração automática de promoção")},
        {QStringLiteral("SetAddPrefixo"), QStringLiteral("Inclusão de prefixo de promoção")},
        {QStringLiteral("SetDelPrefixo"), QStringLiteral("Retirada de prefixo de promoção")},
        {QStringLiteral("SetPrecDif"),
         QStringLiteral("Cadastro automático de preços diferenciados")},
        {QStringLiteral("setCopiaPreco"), QStringLiteral("Cópia de preços diferenciados")},
        {QStringLiteral("SetImportaVigencia"), QStringLiteral("Importação de vigência")},
        {QStringLiteral("SetItemPrecoPlanilha"), QStringLiteral("Importação de planilha")},
        {QStringLiteral("SetPrecoHoraPlanilha"),
         QStringLiteral("Importação de preços diferenciados de planilha")},
        {QStringLiteral("setConfirmar"), QStringLiteral("Exportação de tabela de preços")},
        {QStringLiteral("setConfirmar2"), QStringLiteral("Exportação para várias filiais")},
        {QStringLiteral("SetTabePrec"), QStringLiteral("Manutenção de tabelas de preços")},
        {QStringLiteral("SetTabeVend"), QStringLiteral("Manutenção de vigências")},
        {QStringLiteral("setAlteraStatus"), QStringLiteral("Mudança de situação da vigência")},
        {QStringLiteral("SetFeriado"), QStringLiteral("Cadastro de feriados")},
        {QStringLiteral("DelFeriado"), QStringLiteral("Exclusão de feriados")}};
    return names;
}

QString historyOperationText(const QString &method)
{
    if (method.isEmpty())
        return QString::fromUtf16(kNoOperationText);
    for (const auto &[name, text] : historyOperationNames()) {
        if (name.compare(method, Qt::CaseInsensitive) == 0)
            return text;
    }
    return method;
}

HistoryCaller::HistoryCaller(const QString &user, const QString &operation)
    : m_previousUser(currentUser), m_previousOperation(currentOperation)
{
    currentUser = user.trimmed().left(MaxNameLength);
    currentOperation = operation.left(MaxNameLength);
}

HistoryCaller::~HistoryCaller()
{
    currentUser = m_previousUser;
    currentOperation = m_previousOperation;
}

QString HistoryCaller::user()
{
    return currentUser;
}

QString HistoryCaller::operation()
{
    return currentOperation;
}

void HistoryTriggers::create(const Storage &storage)
{
    for (const QString &sql : historyTable(storage))
        storage.execDirect(sql);
    for (const PriceTable &t : priceTables()) {
        if (storage.dialect().isSqlite()) {
            for (const char *event : {"INSERT", "UPDATE", "DELETE"})
                storage.execDirect(sqliteTrigger(t, event));
        } else {
            // A database made before kept one row trigger for inserts and
            // deletes; the statement triggers take its place.
            storage.execDirect(
                QStringLiteral("DROP TRIGGER IF EXISTS TRHIST%1ID ON %1").arg(t.name));
            for (const QString &sql : postgresTriggers(t))
                storage.execDirect(sql);
            storage.execDirect(QStringLiteral("DROP FUNCTION IF EXISTS PRX_HIST%1()").arg(t.name));
        }
    }
}

void HistoryTriggers::drop(const Storage &storage)
{
    for (const PriceTable &t : priceTables()) {
        if (storage.dialect().isSqlite()) {
            for (const char *event : {"INSERT", "UPDATE", "DELETE"})
                storage.execDirect(QStringLiteral("DROP TRIGGER IF EXISTS TRHIST%1%2")
                                       .arg(t.name, QLatin1StringView(event)));
        } else {
            for (const char *suffix : kPostgresTriggerSuffixes)
                storage.execDirect(QStringLiteral("DROP TRIGGER IF EXISTS TRHIST%1%2 ON %1")
                                       .arg(t.name, QLatin1StringView(suffix)));
        }
    }
}

void HistoryTriggers::enter(const Storage &storage)
{
    if (currentUser.isEmpty() && currentOperation.isEmpty())
        return;
    QSqlQuery q = storage.prepare(
        storage.dialect().isSqlite()
            ? QStringLiteral("UPDATE HISTCONTEXTO SET NMUSUARIO = :user, NMOPERACAO = :operation")
            : QStringLiteral("SELECT set_config('prx.usuario', :user, true), "
                             "set_config('prx.operacao', :operation, true)"));
    q.bindValue(QStringLiteral(":user"), currentUser);
    q.bindValue(QStringLiteral(":operation"), currentOperation);
    storage.exec(q, QStringLiteral("registrar o usuário da operação"));
}

void HistoryTriggers::leave(const Storage &storage)
{
    if (!storage.dialect().isSqlite() || (currentUser.isEmpty() && currentOperation.isEmpty()))
        return;
    storage.execDirect(
        QStringLiteral("UPDATE HISTCONTEXTO SET NMUSUARIO = NULL, NMOPERACAO = NULL"));
}

} // namespace prx::server
