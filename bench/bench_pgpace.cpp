// The same work on PostgreSQL and on SQLite, side by side in one run (goal:
// PostgreSQL within 2x of SQLite):
//  - the demo (schema and data, --products 100000 --branches 2 --seed 42 as
//    the benchmark database was made), with a check that both hold the same
//    rows;
//  - on copies of the two demo databases, each bulk method in process, every
//    one on a fresh copy of its side: the price calculation for all products
//    with taxes, the raise to the calculated prices, the automatic
//    differentiated prices, their copy to every product, the export to a new
//    table, the import of a period and the spreadsheet import.
// Each line gives both times, the ratio, what the call answered on each side
// and whether both databases hold the same rows afterwards.
//
// PostgreSQL: see PgCluster.h (PRX_BENCH_PG_URL, the local server, or a
// cluster of its own). PRX_BENCH_PRODUCTS (or --products) makes the demo
// smaller while developing.
//
//   bench_pgpace [--products N] [--only NAME-PREFIX]
#include "BenchDemo.h"
#include "BenchFigures.h"
#include "PgCluster.h"

#include "core/MethodRegistry.h"
#include "dataset/ColumnTable.h"
#include "dataset/FieldDef.h"
#include "methods/MethodSupport.h"
#include "storage/Schema.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

#include <unistd.h>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

constexpr double kGoal = 2.0;

// What a bulk method's rows look like afterwards: rows and an
// order-free checksum (the two databases sort text differently), without
// the times of change, which differ by nature.
struct Contents
{
    qint64 rows = 0;
    quint64 sum = 0;
    bool operator==(const Contents &) const = default;
};

Contents contents(const Storage &db, const QString &table, const QList<ColumnDef> &columns)
{
    QStringList select;
    QList<FieldType> types;
    for (const ColumnDef &c : columns) {
        if (c.name == u"DTULTALT")
            continue;
        select << (c.type == FieldType::DateTime ? db.dialect().selectDateTime(c.name) : c.name);
        types << c.type;
    }
    QSqlQuery q = db.prepare(QStringLiteral("SELECT %1 FROM %2").arg(select.join(u", "), table));
    db.exec(q, QStringLiteral("ler %1").arg(table));
    Contents out;
    QByteArray line;
    while (q.next()) {
        line.clear();
        for (int i = 0; i < types.size(); ++i) {
            const QVariant v = q.value(i);
            if (v.isNull())
                line += "<null>";
            else if (types[i] == FieldType::Float)
                line += QByteArray::number(v.toDouble(), 'g', 17);
            else if (types[i] == FieldType::Integer || types[i] == FieldType::Boolean)
                line += QByteArray::number(v.toLongLong());
            else
                line += v.toString().toUtf8();
            line += '\t';
        }
        const QByteArray h = QCryptographicHash::hash(line, QCryptographicHash::Sha1);
        quint64 part = 0;
        std::memcpy(&part, h.constData(), sizeof part);
        out.sum += part;
        ++out.rows;
    }
    return out;
}

// The price history the triggers write, without its numbers and times.
const QList<ColumnDef> &historyColumns()
{
    static const QList<ColumnDef> columns = [] {
        QList<ColumnDef> c;
        for (const char *name :
             {"NMUSUARIO", "NMOPERACAO", "IDTPALTHIST", "IDTPREGHIST", "CDFILIAL", "CDTABEPREC",
              "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD", "NRDIASEMANPR", "HRINIPRECDIA",
              "HRFINPRECDIA", "NMCAMPO"})
            c << ColumnDef{QLatin1String(name), FieldType::String, 0, false};
        for (const char *name : {"DTINIVGPREC", "DTINIVALPREC"})
            c << ColumnDef{QLatin1String(name), FieldType::DateTime, 0, false};
        for (const char *name : {"VRANTERIOR", "VRNOVO"})
            c << ColumnDef{QLatin1String(name), FieldType::Float, 0, false};
        return c;
    }();
    return columns;
}

// The tables the bulk methods write, and the history of their changes.
QList<Contents> afterWork(const Storage &db)
{
    QList<Contents> all;
    for (const char *t : {"TABEPREC", "TABEVEND", "ITEMPRECO", "ITEMPRECODIA", "PRODUTO"}) {
        const TableDef &def = Schema::table(QString::fromLatin1(t));
        all << contents(db, def.name, def.columns);
    }
    all << contents(db, QStringLiteral("HISTPRECO"), historyColumns());
    return all;
}

// The tables that differ, by name; empty when none does.
QStringList differing(const QList<Contents> &a, const QList<Contents> &b, const QStringList &names)
{
    QStringList out;
    for (int i = 0; i < names.size(); ++i) {
        if (!(a.value(i) == b.value(i)))
            out << QStringLiteral("%1 (%2/%3 linhas)")
                       .arg(names[i])
                       .arg(a.value(i).rows)
                       .arg(b.value(i).rows);
    }
    return out;
}

// What a call answered, briefly: counts, packets by their rows.
QString summary(const Outcome &out)
{
    if (!out.ok)
        return QStringLiteral("ERRO: ") + out.message.left(120);
    std::function<QString(const QVariant &)> brief = [&](const QVariant &v) -> QString {
        if (const DataPacketPtr p = v.value<DataPacketPtr>())
            return QStringLiteral("%1 linhas").arg(p->rowCount());
        if (v.typeId() == QMetaType::QVariantList) {
            QStringList parts;
            for (const QVariant &e : v.toList())
                parts << brief(e);
            return u'[' + parts.join(u", ") + u']';
        }
        return v.toString();
    };
    return brief(out.payload);
}

struct Work
{
    QString name;
    QString prepare; // SQL run on the copy before the call (not timed); may be empty
    QString method;
    std::function<QVariantList()> args;
};

QString scalarText(const Storage &db, const QString &sql)
{
    QSqlQuery q = db.prepare(sql);
    db.exec(q, QStringLiteral("ler"));
    return q.next() ? q.value(0).toString() : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    DemoOptions demo;
    demo.products =
        commandOption(args, "--products",
                      qEnvironmentVariable("PRX_BENCH_PRODUCTS", QStringLiteral("100000")))
            .toInt();
    demo.branches = 2;
    demo.seed = 42;
    const QString only = commandOption(args, "--only", QString());

    QString error;
    PgCluster pg;
    if (!pg.start(&error))
        fail(QStringLiteral("PostgreSQL: ") + error);
    QTemporaryDir dir;
    const QString names = QStringLiteral("prx_pace_%1").arg(getpid());
    const QString pgDemo = names + QStringLiteral("_demo"), pgRun = names + QStringLiteral("_run");
    const QString sqliteDemo = dir.filePath(QStringLiteral("demo.sqlite"));
    const QString sqliteRun = dir.filePath(QStringLiteral("run.sqlite"));
    std::printf("PostgreSQL: %s; demo de %d produtos, %d filiais, semente %u\n",
                qPrintable(pg.where()), demo.products, demo.branches, demo.seed);
    std::printf("%-34s %10s %10s %6s %5s  %s\n", "trabalho", "PG ms", "SQLite ms", "razão", "meta",
                "resposta PG | SQLite");
    std::fflush(stdout);

    auto line = [](const QString &name, double pgMs, double sqliteMs, const QString &answers,
                   const QStringList &differ) {
        std::printf(
            "%-34s %10.1f %10.1f %6.2f %5s  %s%s\n", qPrintable(name), pgMs, sqliteMs,
            pgMs / sqliteMs, pgMs <= kGoal * sqliteMs ? "<= 2" : "> 2", qPrintable(answers),
            differ.isEmpty() ? "" : qPrintable(QStringLiteral("  DIFEREM: ") + differ.join(u", ")));
        std::fflush(stdout);
    };

    // --- the demo, schema included, as prx-cli demo makes it
    auto makeDemo = [&](const QString &location) {
        QElapsedTimer t;
        t.start();
        auto db = Storage::open(location, &error);
        if (!db)
            fail(error);
        try {
            db->createSchema();
            generateDemo(*db, demo);
        } catch (const ServerError &e) {
            fail(location + QStringLiteral(": ") + e.message());
        }
        return t.nsecsElapsed() / 1e6;
    };
    if (!pg.createDatabase(pgDemo, QString(), &error))
        fail(error);
    const double demoSqlite = makeDemo(sqliteDemo);
    const double demoPg = makeDemo(pg.url(pgDemo));
    {
        QStringList tables;
        QList<Contents> a, b;
        auto s = Storage::open(sqliteDemo, &error);
        auto p = Storage::open(pg.url(pgDemo), &error);
        for (const TableDef &t : Schema::tables()) {
            tables << t.name;
            b << contents(*s, t.name, t.columns);
            a << contents(*p, t.name, t.columns);
        }
        auto total = [](const QList<Contents> &all) {
            qint64 n = 0;
            for (const Contents &c : all)
                n += c.rows;
            return n;
        };
        line(QStringLiteral("demo"), demoPg, demoSqlite,
             QStringLiteral("%1 linhas | %2 linhas").arg(total(a)).arg(total(b)),
             differing(a, b, tables));
    }

    // --- what the calls need, read once from the SQLite demo
    const QDateTime start = wallClock(demo.today.addDays(-30));
    const QDateTime end = wallClock(demo.today.addDays(29));
    const QString startText = SqlDialect::dateTimeText(start);
    const QString ownItems = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                            "DTINIVGPREC = '%1' AND CDPRODUTO = CDPRPAITABPR")
                                 .arg(startText);
    QString baseProduct, sheet = QStringLiteral("Código;Preço\r\n");
    {
        auto db = Storage::open(sqliteDemo, &error);
        // A product whose differentiated prices the copy can give everyone.
        baseProduct = scalarText(*db, QStringLiteral("SELECT MIN(CDPRODUTO) FROM ITEMPRECODIA "
                                                     "WHERE %1 AND IDTPMODDLV = 'N' AND "
                                                     "IDTPMODCMD = 'N'")
                                          .arg(ownItems));
        // Every own price of the period one cent up, as a spreadsheet user saves it.
        QSqlQuery q = db->prepare(QStringLiteral("SELECT CDPRODUTO, VRPRECITEM FROM ITEMPRECO "
                                                 "WHERE %1 AND VRPRECITEM IS NOT NULL ORDER BY 1")
                                      .arg(ownItems));
        db->exec(q, QStringLiteral("ler"));
        while (q.next()) {
            const qint64 cents = qRound64(q.value(1).toDouble() * 100) + 1;
            sheet += q.value(0).toString() + u';' + QString::number(cents / 100) + u',' +
                     QStringLiteral("%1").arg(cents % 100, 2, 10, QChar(u'0')) +
                     QStringLiteral("\r\n");
        }
    }
    const QVariant none = QVariant::fromValue(std::make_shared<DataPacket>());

    const QList<Work> work = {
        {"SetCalcPreco, todos, com impostos", QString(), "SetCalcPreco",
         [&] { return QVariantList{"0001", "001", start, "3", "", false, true, qint64(1)}; }},
        // Every item's calculated price just above its price, so that each one is raised.
        {"SetItemPrecoAtuPrec, todos",
         QStringLiteral("UPDATE ITEMPRECO SET VRCUSTITEM = VRPRECITEM + 0.005 WHERE CDFILIAL = "
                        "'0001' AND CDTABEPREC = '001' AND DTINIVGPREC = '%1' AND VRPRECITEM "
                        "IS NOT NULL")
             .arg(startText),
         "SetItemPrecoAtuPrec",
         [&] {
             return QVariantList{"0001", "001", start};
         }},
        {"SetPrecDif, todos, 7 dias", QString(), "SetPrecDif",
         [&] {
             return QVariantList{false, false, false, true,    true,    true,  true, true,
                                 true,  true,  false, true,    false,   0,     1,    "0001",
                                 "001", "",    "",    "00:01", "23:59", start, end,  start,
                                 10.0,  "",    none,  "T",     1};
         }},
        {"setCopiaPreco, todos", QString(), "setCopiaPreco",
         [&] { return QVariantList{"0001", "001", start, baseProduct, "", "", "T"}; }},
        {"setConfirmar, tabela nova", QString(), "setConfirmar",
         [&] { return QVariantList{true, "0002", "S00", "Exportada", "0001", "001", "", "T"}; }},
        {"SetImportaVigencia, passada para futura", QString(), "SetImportaVigencia",
         [&] {
             return QVariantList{"0001",
                                 "001",
                                 wallClock(demo.today.addDays(-90)),
                                 wallClock(demo.today.addDays(30)),
                                 wallClock(demo.today.addDays(119)),
                                 true};
         }},
        {"SetItemPrecoPlanilha, todos", QString(), "SetItemPrecoPlanilha",
         [&] { return QVariantList{"0001", "001", start, "3", sheet, true}; }},
    };

    MethodRegistry registry;
    registerAllMethods(registry);
    const QStringList checked = {"TABEPREC",     "TABEVEND", "ITEMPRECO",
                                 "ITEMPRECODIA", "PRODUTO",  "HISTPRECO"};
    // One call on a fresh copy of a side's demo: its time, answer and rows after.
    auto run = [&](const QString &location, const Work &w, QString *answer,
                   QList<Contents> *after) {
        auto db = Storage::open(location, &error);
        if (!db)
            fail(error);
        if (!w.prepare.isEmpty())
            db->execDirect(w.prepare);
        Context ctx{*db};
        const QVariantList callArgs = w.args();
        QElapsedTimer t;
        t.start();
        const Outcome out = dispatch(registry, ctx, kPriceTableObject, w.method, callArgs);
        const double ms = t.nsecsElapsed() / 1e6;
        *answer = summary(out);
        *after = afterWork(*db);
        return ms;
    };
    for (const Work &w : work) {
        if (!w.name.startsWith(only))
            continue;
        QString answerPg, answerSqlite;
        QList<Contents> afterPg, afterSqlite;
        freshCopy(sqliteDemo, sqliteRun);
        const double sqliteMs = run(sqliteRun, w, &answerSqlite, &afterSqlite);
        if (!pg.createDatabase(pgRun, pgDemo, &error))
            fail(error);
        const double pgMs = run(pg.url(pgRun), w, &answerPg, &afterPg);
        pg.dropDatabase(pgRun);
        line(w.name, pgMs, sqliteMs, answerPg + QStringLiteral(" | ") + answerSqlite,
             differing(afterPg, afterSqlite, checked));
    }
    return 0;
}
