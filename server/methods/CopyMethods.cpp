// Copy of one product's differentiated prices to other products of a period.
//
// getProdutosCopia offers the products of the branch's market segment that
// have their own price row in the period, the base product left out.
//
// setCopiaPreco replaces the own differentiated prices of each target by the
// base product's, the resulting prices computed again from the target's own
// prices with the screen's routine. Targets: every offered product ("T"),
// the listed ones ("L", the list picker's text), or the offered ones whose
// tree codes lie from initial to final ("I"). The base is never a target
// (copying a product onto itself would only delete its prices). A target
// that cannot take the prices is left untouched and answered with the first
// reason met: not priced in the period, a delivery or order-pad price used
// by the base that the target lacks, a resulting price at or below 0 or at
// or above twice its base. The others are copied in one transaction. A base
// without differentiated prices is refused: the copy would wipe every
// target's. The copied validity dates are the base's cut to the period (a
// base rule wholly outside it is not copied), so no copy lies outside it.
#include "methods/BulkWriter.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "money/DayPrice.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <array>
#include <optional>

namespace prx::server {

namespace {

SqlBinds periodBinds(const QVariantList &args, int at)
{
    return {{QStringLiteral(":branch"), args[at]},
            {QStringLiteral(":table"), args[at + 1]},
            {QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(args[at + 2]))}};
}

// The own price row of product P in the period, joined as I.
const QString kOwnItem =
    QStringLiteral("I.CDFILIAL = :branch AND I.CDTABEPREC = :table AND I.DTINIVGPREC = :start AND "
                   "I.CDPRODUTO = P.CDPRODUTO AND I.CDPRPAITABPR = P.CDPRODUTO");
// The targets that could not take the copy, within a call.
const QString kFailedTable = QStringLiteral("PRXCOPIAFALHA");
const QString kInSegment =
    QStringLiteral("P.CDPRODUTO IN (SELECT S.CDPRODUTO FROM PRODSEGMER S JOIN FILIAL F ON "
                   "F.CDSEGMER = S.CDSEGMER WHERE F.CDFILIAL = :branch)");

QVariant getProdutosCopia(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{QStringLiteral("IDMARCADO"), FieldType::String, 1},
                         {QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                         {QStringLiteral("CDARVPROD"), FieldType::String, 20},
                         {QStringLiteral("NMPRODUTO"), FieldType::String, 50}});
    reader.setConstant(QStringLiteral("IDMARCADO"), QVariant());
    SqlBinds binds = {{QStringLiteral(":branch"), args[0]},
                      {QStringLiteral(":table"), args[1]},
                      {QStringLiteral(":base"), args[2]},
                      {QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(args[3]))}};
    return packetResult(reader.read(
        ctx.storage,
        QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODUTO P JOIN "
                       "ITEMPRECO I ON %1 WHERE %2 AND P.CDPRODUTO <> :base ORDER BY P.CDARVPROD")
            .arg(kOwnItem, kInSegment),
        binds, QStringLiteral("ler os produtos para a cópia")));
}

// One differentiated price of the base product.
struct BaseRule
{
    QStringList key; // consumer type, day, start hour, end hour, validity start (text)
    QString validTo; // text
    QString pv, da, show;
    std::array<double, 3> amount{};
    std::array<bool, 3> active{}; // general, delivery, order pad
    dayprice::Rule rule;
};

// The base's rules with their validity cut to the period (a rule left wholly
// outside it, or starting after its end, is not copied; an open end closes
// with the period), so that no copy lands outside the period even when the
// period was shortened after the base's rules were typed.
QList<BaseRule> baseRules(const Storage &db, const SqlBinds &binds)
{
    const SqlDialect &d = db.dialect();
    QSqlQuery q = runQuery(
        db,
        QStringLiteral(
            "SELECT D.CDTIPOCONSPD, D.NRDIASEMANPR, D.HRINIPRECDIA, D.HRFINPRECDIA, %1, %2, "
            "D.IDPERVALORPR, D.IDDESCACREPR, D.VRPRECODIA, D.VRPRECODIADLV, D.VRPRECODIACMD, "
            "D.IDVISUACUPOM, D.IDTPMODGERAL, D.IDTPMODDLV, D.IDTPMODCMD FROM ITEMPRECODIA D "
            "JOIN TABEVEND V ON V.CDFILIAL = D.CDFILIAL AND V.CDTABEPREC = D.CDTABEPREC AND "
            "V.DTINIVGPREC = D.DTINIVGPREC "
            "WHERE D.CDFILIAL = :branch AND D.CDTABEPREC = :table AND D.DTINIVGPREC = :start "
            "AND D.CDPRODUTO = :base AND D.CDPRPAITABPR = :base AND (D.DTFINVALPREC IS NULL OR "
            "(D.DTINIVALPREC <= D.DTFINVALPREC AND D.DTFINVALPREC >= V.DTINIVGPREC)) AND "
            "(V.DTFINVGPREC IS NULL OR D.DTINIVALPREC <= V.DTFINVGPREC)")
            .arg(d.selectDateTime(QStringLiteral("CASE WHEN D.DTINIVALPREC < V.DTINIVGPREC THEN "
                                                 "V.DTINIVGPREC ELSE D.DTINIVALPREC END")),
                 d.selectDateTime(QStringLiteral(
                     "CASE WHEN V.DTFINVGPREC IS NULL THEN D.DTFINVALPREC WHEN D.DTFINVALPREC IS "
                     "NULL OR D.DTFINVALPREC > V.DTFINVGPREC THEN V.DTFINVGPREC ELSE "
                     "D.DTFINVALPREC END"))),
        binds, QStringLiteral("ler os preços diferenciados do produto base"));
    QList<BaseRule> rules;
    while (q.next()) {
        BaseRule r;
        for (int c = 0; c < 5; ++c)
            r.key << q.value(c).toString();
        r.validTo = q.value(5).toString();
        r.pv = q.value(6).toString();
        r.da = q.value(7).toString();
        r.show = q.value(11).toString();
        const std::optional<dayprice::Rule> rule = dayprice::ruleFromCodes(r.pv, r.da);
        if (!rule) {
            throw ServerError(QStringLiteral("O produto base tem um preço diferenciado com tipo "
                                             "inválido; nada foi copiado."));
        }
        r.rule = *rule;
        for (int m = 0; m < 3; ++m) {
            r.amount[m] = q.value(8 + m).toDouble();
            r.active[m] = q.value(12 + m).toString() == u"S";
        }
        for (const BaseRule &other : rules) {
            if (other.key == r.key) {
                throw ServerError(
                    QStringLiteral(
                        "Dois preços diferenciados do produto base teriam a mesma data inicial de "
                        "validade dentro da vigência (%1, %2 a %3); corrija-os antes de copiar. "
                        "Nenhum produto foi alterado.")
                        .arg(dateText(SqlDialect::dateTimeFromText(r.key[4])),
                             r.key[2].left(2) + u':' + r.key[2].mid(2),
                             r.key[3].left(2) + u':' + r.key[3].mid(2)));
            }
        }
        rules << r;
    }
    return rules;
}

struct Target
{
    QString code, tree, name;
    std::array<std::optional<double>, 3> price; // general, delivery, order pad
    double client = 0;
};

// The first reason why the target cannot take the rules, or empty; the
// resulting prices (one triple per rule) in *prices.
QString computeTarget(const Target &t, const QList<BaseRule> &rules,
                      QList<std::array<std::optional<double>, 3>> *prices)
{
    if (!t.price[0])
        return QStringLiteral("Produto sem preço cadastrado na vigência.");
    static const QString missing[3] = {
        QString(),
        QStringLiteral("Produto sem preço de delivery; o produto base tem preço diferenciado "
                       "para o delivery."),
        QStringLiteral("Produto sem preço de comanda; o produto base tem preço diferenciado "
                       "para a comanda.")};
    const Decimal client = Decimal::fromDouble(t.client);
    for (const BaseRule &r : rules) {
        std::array<std::optional<double>, 3> out;
        for (int m = 0; m < 3; ++m) {
            if (!r.active[m])
                continue;
            if (!t.price[m])
                return missing[m];
            const Decimal base = Decimal::fromDouble(*t.price[m]) + client;
            const Decimal price =
                dayprice::priceFor(base, Decimal::fromDouble(r.amount[m]), r.rule);
            if (price <= Decimal())
                return QStringLiteral("Preço diferenciado resultante menor ou igual a zero.");
            if (!dayprice::priceWithinLimits(price, base)) {
                return QStringLiteral("Preço diferenciado resultante maior ou igual ao dobro do "
                                      "preço do produto.");
            }
            out[m] = price.toDouble();
        }
        *prices << out;
    }
    return {};
}

// The products a mode names, as a condition on PRODUTO P; "T" and "I" take
// only those with an own item in the period, which the caller joins.
QString targetCondition(const Storage &db, const QVariantList &args, SqlBinds *binds)
{
    const QString mode = args[6].toString();
    if (mode == u"T")
        return kInSegment;
    if (mode == u"L") {
        const QStringList codes = productListKeys(args[4].toString());
        if (codes.isEmpty())
            throw ServerError(QStringLiteral("Produto deve ser informado."), ErrorArguments);
        fillSelection(db, codes);
        return QStringLiteral("P.CDPRODUTO IN (SELECT CDPRODUTO FROM %1)").arg(kSelectionTable);
    }
    if (mode != u"I")
        throw ServerError(QStringLiteral("Modo de cópia inválido: \"%1\".").arg(mode),
                          ErrorArguments);
    const QString initial = args[4].toString().trimmed(), final = args[5].toString().trimmed();
    if (initial.isEmpty() || final.isEmpty())
        throw ServerError(QStringLiteral("Produto deve ser informado."), ErrorArguments);
    if (initial > final) {
        throw ServerError(
            QStringLiteral("Produto final deve ter o código maior que o produto inicial."),
            ErrorArguments);
    }
    *binds << std::pair{QStringLiteral(":initial"), initial}
           << std::pair{QStringLiteral(":final"), final};
    return kInSegment + QStringLiteral(" AND P.CDARVPROD BETWEEN :initial AND :final");
}

void writeRules(const Storage &db, const SqlBinds &period, const QList<BaseRule> &rules,
                const QList<std::pair<QString, QList<std::array<std::optional<double>, 3>>>> &done)
{
    const SqlDialect &d = db.dialect();
    const QString columns = QStringLiteral(
        "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, "
        "HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, "
        "VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, "
        "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, DTULTALT");
    auto constants = [&d](bool typed) {
        auto s = [&](const char *p) {
            return typed ? d.typedParam(QString::fromLatin1(p), FieldType::String)
                         : QString::fromLatin1(p);
        };
        auto t = [&](const char *p) {
            return typed ? d.typedParam(QString::fromLatin1(p), FieldType::DateTime)
                         : QString::fromLatin1(p);
        };
        auto f = [&](const char *p) {
            return typed ? d.typedParam(QString::fromLatin1(p), FieldType::Float)
                         : QString::fromLatin1(p);
        };
        return QStringList{s(":branch"), s(":table"), t(":start")}.join(u',') +
               QStringLiteral(",%1,%1,") +
               QStringList{s(":k0"), s(":k1"), s(":k2"), s(":k3"), t(":k4"), t(":validTo"),
                           s(":pv"), s(":da"), f(":a0"), f(":a1"), f(":a2")}
                   .join(u',') +
               QStringLiteral(",%2,%3,%4,") +
               QStringList{s(":show"), s(":m0"), s(":m1"), s(":m2"), d.now()}.join(u',');
    };
    const QString sqlite = QStringLiteral("INSERT INTO ITEMPRECODIA (%1) VALUES (%2)")
                               .arg(columns, constants(false).arg(u":c0", u":c1", u":c2", u":c3"));
    const QString postgres =
        QStringLiteral("INSERT INTO ITEMPRECODIA (%1) SELECT %2 FROM unnest(CAST(:c0 AS TEXT[]), "
                       "CAST(:c1 AS DOUBLE PRECISION[]), CAST(:c2 AS DOUBLE PRECISION[]), "
                       "CAST(:c3 AS DOUBLE PRECISION[])) AS U(c0, c1, c2, c3)")
            .arg(columns, constants(true).arg(u"U.c0", u"U.c1", u"U.c2", u"U.c3"));
    const QString flag[2] = {QStringLiteral("N"), QStringLiteral("S")};
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const BaseRule &r = rules[i];
        SqlBinds binds = period;
        for (int k = 0; k < 5; ++k)
            binds << std::pair{QStringLiteral(":k%1").arg(k), QVariant(r.key[k])};
        binds << std::pair{QStringLiteral(":validTo"), r.validTo.isEmpty() ? QVariant() : r.validTo}
              << std::pair{QStringLiteral(":pv"), r.pv} << std::pair{QStringLiteral(":da"), r.da}
              << std::pair{QStringLiteral(":show"), r.show};
        for (int m = 0; m < 3; ++m) {
            binds << std::pair{QStringLiteral(":a%1").arg(m), r.amount[m]}
                  << std::pair{QStringLiteral(":m%1").arg(m), flag[r.active[m]]};
        }
        BulkWriter writer(db, sqlite, postgres,
                          {BulkWriter::Kind::Text, BulkWriter::Kind::Real, BulkWriter::Kind::Real,
                           BulkWriter::Kind::Real},
                          binds, QStringLiteral("gravar os preços diferenciados copiados"));
        for (const auto &[code, prices] : done) {
            writer.text(code);
            for (int m = 0; m < 3; ++m)
                writer.real(prices[i][m]);
            writer.endRow();
        }
        writer.finish();
    }
}

QVariant setCopiaPreco(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QString baseProduct = args[3].toString();
    Transaction tx(db);
    requirePeriod(db, args[0], args[1], dateTimeArg(args[2]));
    const SqlBinds period = periodBinds(args, 0);
    SqlBinds binds = period;
    binds << std::pair{QStringLiteral(":base"), baseProduct};
    const QList<BaseRule> rules = baseRules(db, binds);
    if (rules.isEmpty()) {
        throw ServerError(QStringLiteral("O produto base não tem preços diferenciados nesta "
                                         "vigência; nenhum produto foi alterado."));
    }
    const QString products = targetCondition(db, args, &binds);
    const QString condition = args[6].toString() == u"L"
                                  ? products
                                  : products + QStringLiteral(" AND I.CDPRODUTO IS NOT NULL");

    auto errors = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDARVPROD"), FieldType::String, 40},
                        {QStringLiteral("NMPRODUTO"), FieldType::String, 50},
                        {QStringLiteral("DSERRO"), FieldType::String, 200}});
    QList<std::pair<QString, QList<std::array<std::optional<double>, 3>>>> done;
    QStringList failed;
    {
        BulkReader q(db,
                     QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, I.VRPRECITEM, "
                                    "I.VRPRECITEMDLV, I.VRPRECITEMCMD, I.VRPRECITEMCL FROM "
                                    "PRODUTO P LEFT JOIN ITEMPRECO I ON %1 WHERE P.CDPRODUTO <> "
                                    ":base AND %2 ORDER BY P.CDPRODUTO")
                         .arg(kOwnItem, condition),
                     binds, QStringLiteral("ler os produtos de destino"));
        while (q.next()) {
            Target t{q.text(0), q.text(1), q.text(2), {}, q.isNull(6) ? 0.0 : q.real(6)};
            for (int m = 0; m < 3; ++m) {
                if (!q.isNull(3 + m))
                    t.price[m] = q.real(3 + m);
            }
            QList<std::array<std::optional<double>, 3>> prices;
            const QString reason = computeTarget(t, rules, &prices);
            if (reason.isEmpty()) {
                done << std::pair{t.code, prices};
                continue;
            }
            failed << t.code;
            const int row = errors->appendRow();
            errors->setString(row, 0, t.tree);
            errors->setString(row, 1, t.name);
            errors->setString(row, 2, reason);
        }
    }
    if (!done.isEmpty()) {
        // The targets read, less the few that failed: no list of the many
        // copied ones has to travel back into the database.
        db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (CDPRODUTO VARCHAR(10) "
                                     "PRIMARY KEY)")
                          .arg(kFailedTable));
        db.execDirect(QStringLiteral("DELETE FROM %1").arg(kFailedTable));
        BulkWriter failedWriter(
            db, QStringLiteral("INSERT INTO %1 (CDPRODUTO) VALUES (:c0)").arg(kFailedTable),
            QStringLiteral("INSERT INTO %1 (CDPRODUTO) SELECT * FROM unnest(CAST(:c0 AS TEXT[]))")
                .arg(kFailedTable),
            {BulkWriter::Kind::Text}, {}, QStringLiteral("separar os produtos recusados"));
        for (const QString &code : failed) {
            failedWriter.text(code);
            failedWriter.endRow();
        }
        failedWriter.finish();
        runQuery(db,
                 QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDFILIAL = :branch AND CDTABEPREC "
                                "= :table AND DTINIVGPREC = :start AND CDPRPAITABPR = CDPRODUTO "
                                "AND CDPRODUTO IN (SELECT P.CDPRODUTO FROM PRODUTO P WHERE "
                                "P.CDPRODUTO <> :base AND %1) AND CDPRODUTO NOT IN (SELECT "
                                "CDPRODUTO FROM %2)")
                     .arg(products, kFailedTable),
                 binds, QStringLiteral("apagar os preços diferenciados de destino"));
        writeRules(db, period, rules, done);
    }
    tx.commit();
    return packetResult(errors);
}

} // namespace

void registerCopyMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(
        kPriceTableObject,
        {"getProdutosCopia", {A::String, A::String, A::String, A::DateTime}, getProdutosCopia});
    registry.add(kPriceTableObject,
                 {"setCopiaPreco",
                  {A::String, A::String, A::DateTime, A::String, A::String, A::String, A::String},
                  setCopiaPreco});
}

} // namespace prx::server
