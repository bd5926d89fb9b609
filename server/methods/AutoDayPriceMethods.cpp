// Automatic differentiated prices: one rule written for many products and
// days of a period in one call.
//
// SetPrecDif writes, for every product in scope, one differentiated price per
// day: "T" alone when "all days" is set, otherwise "V" (eve of a holiday),
// "F" (holiday) and "1" (Sunday) to "7" (Saturday) for each flag set. The
// scope is the period's own price rows: all of them, the listed products, or
// the tree codes from initial to final. The
// rule applies to the general modality (delivery and order pad are left
// off, as a row typed on the screen starts). Hours come as "hh:mm" or
// "hhmm" and are stored as four digits; validity dates lie inside the
// period. A row with the same key (product, consumer type, day, hours,
// validity start) is replaced, never duplicated. The resulting price is the
// screen's own computation; a product whose base or result the screen would
// refuse (base 0 or below, result 0 or below, result at or above twice the
// base) is skipped, and so is a product of the scope without a consumer
// price (a listed product without an own row too). Everything is written in
// one transaction; the answer is [rows written, products skipped, the packet
// of the skipped ones with their reasons].
#include "methods/BulkWriter.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "money/DayPrice.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QRegularExpression>

namespace prx::server {

namespace {

// The products that take the rule, with their resulting price.
const QString kAcceptedTable = QStringLiteral("PRXPRECDIFAUT");

// "17:30" or "1730" as stored ("1730"); empty when it is not an hour.
QString storedHour(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{2}):?(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QString hour = m.captured(1) + m.captured(2);
    return isValidHour(hour) ? hour : QString();
}

QString requiredHour(const QString &text, const QString &what)
{
    const QString hour = storedHour(text);
    if (hour.isEmpty()) {
        throw ServerError(
            QStringLiteral("%1 inválido: \"%2\". Informe a hora como hh:mm.").arg(what, text),
            ErrorArguments);
    }
    return hour;
}

QStringList dayCodes(const QVariantList &args)
{
    if (args[0].toBool())
        return {QStringLiteral("T")};
    QStringList days;
    if (args[1].toBool())
        days << QStringLiteral("V");
    if (args[2].toBool())
        days << QStringLiteral("F");
    for (int weekday = 1; weekday <= 7; ++weekday) {
        if (args[2 + weekday].toBool())
            days << QString::number(weekday);
    }
    if (days.isEmpty())
        throw ServerError(QStringLiteral("Dia da Semana deve ser informado."), ErrorArguments);
    return days;
}

// The condition on I.CDPRODUTO that the product mode gives.
QString scopeCondition(const Storage &db, const QVariantList &args, SqlBinds *binds)
{
    const bool list = args[10].toBool(), all = args[11].toBool(), interval = args[12].toBool();
    if (int(list) + int(all) + int(interval) != 1)
        throw ServerError(QStringLiteral("Informe um modo de seleção de produtos."),
                          ErrorArguments);
    if (all)
        return QStringLiteral("1 = 1");
    if (list) {
        QStringList codes;
        if (const DataPacketPtr packet = args[26].value<DataPacketPtr>()) {
            const int c = packet->indexOf(u"CDPRODUTO");
            for (int r = 0; c >= 0 && r < packet->rowCount(); ++r) {
                if (!packet->isNull(r, c) && !packet->string(r, c).trimmed().isEmpty())
                    codes << packet->string(r, c).trimmed();
            }
        }
        if (codes.isEmpty())
            codes = productListKeys(args[25].toString());
        if (codes.isEmpty())
            throw ServerError(QStringLiteral("Produto deve ser informado."), ErrorArguments);
        fillSelection(db, codes);
        return QStringLiteral("I.CDPRODUTO IN (SELECT CDPRODUTO FROM %1)").arg(kSelectionTable);
    }
    const QString initial = args[18].toString().trimmed(), final = args[17].toString().trimmed();
    if (initial.isEmpty() || final.isEmpty()) {
        throw ServerError(QStringLiteral("Produto inicial e produto final devem ser informados."),
                          ErrorArguments);
    }
    if (initial > final) {
        throw ServerError(
            QStringLiteral("Produto inicial deve ser menor ou igual que produto final."),
            ErrorArguments);
    }
    *binds << std::pair{QStringLiteral(":initial"), initial}
           << std::pair{QStringLiteral(":final"), final};
    return QStringLiteral("I.CDPRODUTO IN (SELECT CDPRODUTO FROM PRODUTO WHERE CDARVPROD "
                          "BETWEEN :initial AND :final)");
}

QString consumerType(const Storage &db, const QString &text)
{
    const QString code = text.trimmed().isEmpty() ? QStringLiteral("T") : text;
    if (code != u"T" &&
        !queryHasRows(db, QStringLiteral("SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = :code"),
                      {{QStringLiteral(":code"), code}}))
        throw ServerError(QStringLiteral("Tipo de consumidor não cadastrado!"), ErrorArguments);
    return code;
}

// Why a product of the scope cannot take the rule; empty when it can. The
// row holds the product, its consumer price and its client price.
QString skipReason(const BulkReader &item, Decimal amount, dayprice::Rule rule)
{
    if (item.isNull(1))
        return QStringLiteral("sem preço de venda na vigência");
    Decimal base = Decimal::fromDouble(item.real(1));
    if (!item.isNull(2))
        base += Decimal::fromDouble(item.real(2));
    if (base <= Decimal())
        return QStringLiteral("preço de venda zero ou negativo");
    const Decimal price = dayprice::priceFor(base, amount, rule);
    if (price <= Decimal())
        return QStringLiteral("preço diferenciado seria zero ou negativo");
    if (!dayprice::priceWithinLimits(price, base))
        return QStringLiteral("preço diferenciado chegaria ao dobro do preço de venda");
    return {};
}

// Whether any product of `accepted` already has a row with the rule's key
// (branch, table, period, consumer type, hours, validity start) on one of the
// days.
bool hasRowsOfRule(const Storage &db, const SqlBinds &binds, const QStringList &days,
                   const QString &accepted)
{
    static const QStringList used = {":branch", ":table", ":start",    ":consumer",
                                     ":from",   ":to",    ":validFrom"};
    SqlBinds all;
    for (const auto &bind : binds) {
        if (used.contains(bind.first))
            all << bind;
    }
    QStringList dayParams;
    for (qsizetype i = 0; i < days.size(); ++i) {
        dayParams << QStringLiteral(":d%1").arg(i);
        all << std::pair{dayParams.last(), days[i]};
    }
    return queryHasRows(
        db,
        QStringLiteral("SELECT 1 FROM ITEMPRECODIA D JOIN %1 S ON D.CDPRODUTO = S.CDPRODUTO AND "
                       "D.CDPRPAITABPR = S.CDPRODUTO WHERE D.CDFILIAL = :branch AND "
                       "D.CDTABEPREC = :table AND D.DTINIVGPREC = :start AND D.CDTIPOCONSPD = "
                       ":consumer AND D.NRDIASEMANPR IN (%2) AND D.HRINIPRECDIA = :from AND "
                       "D.HRFINPRECDIA = :to AND D.DTINIVALPREC = :validFrom LIMIT 1")
            .arg(accepted, dayParams.join(u", ")),
        all);
}

QVariant setPrecDif(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QStringList days = dayCodes(args);
    const dayprice::Rule rule{args[14].toInt() == 1, args[13].toInt() == 0};
    if (args[13].toInt() < 0 || args[13].toInt() > 1 || args[14].toInt() < 0 ||
        args[14].toInt() > 1)
        throw ServerError(QStringLiteral("Tipo de preço diferenciado inválido."), ErrorArguments);
    const Decimal amount = Decimal::fromDouble(args[24].toDouble());
    if (amount <= Decimal())
        throw ServerError(QStringLiteral("Valor informado deve ser maior do que zero."),
                          ErrorArguments);
    if (rule.percentage && amount >= Decimal::fromUnits(100 * Decimal::kOne)) {
        throw ServerError(
            rule.discount ? QStringLiteral("O percentual de desconto deve estar entre 0 e 100.")
                          : QStringLiteral("O percentual de acréscimo deve estar entre 0 e 100."),
            ErrorArguments);
    }
    const QString from = requiredHour(args[19].toString(), QStringLiteral("Horário inicial"));
    const QString to = requiredHour(args[20].toString(), QStringLiteral("Horário final"));
    if (from > to) {
        throw ServerError(
            QStringLiteral("Horário Inicial deve ser menor ou igual ao Horário Final"),
            ErrorArguments);
    }
    const QDateTime validFrom = wallClock(dateTimeArg(args[21]).date(), QTime(0, 0));
    const QDateTime validTo = wallClock(dateTimeArg(args[22]).date(), QTime(0, 0));
    const QDateTime start = dateTimeArg(args[23]);
    if (!validFrom.isValid() || !validTo.isValid() || validTo < validFrom) {
        throw ServerError(
            QStringLiteral("Validade Inicial deve ser menor ou igual a Validade Final."),
            ErrorArguments);
    }

    Transaction tx(db);
    const SqlBinds period = {{QStringLiteral(":branch"), args[15]},
                             {QStringLiteral(":table"), args[16]},
                             {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}};
    QSqlQuery end = runQuery(db,
                             QStringLiteral("SELECT %1 FROM TABEVEND WHERE CDFILIAL = :branch AND "
                                            "CDTABEPREC = :table AND DTINIVGPREC = :start")
                                 .arg(db.dialect().selectDateTime(QStringLiteral("DTFINVGPREC"))),
                             period, QStringLiteral("ler a vigência"));
    if (!end.next()) {
        throw ServerError(QStringLiteral("Vigência %1 da tabela %2 da filial %3 não cadastrada.")
                              .arg(dateText(start), args[16].toString(), args[15].toString()));
    }
    const QDateTime periodEnd = SqlDialect::dateTimeFromText(end.value(0).toString());
    if (validFrom < start) {
        throw ServerError(QStringLiteral("Data Inicial de Validade deve ser maior ou igual a Data "
                                         "Inicial de Vigência ."),
                          ErrorArguments);
    }
    if (periodEnd.isValid() && validTo > periodEnd) {
        throw ServerError(QStringLiteral("Data Final de Validade deve ser menor ou igual a Data "
                                         "Final de Vigência. "),
                          ErrorArguments);
    }
    const QString consumer = consumerType(db, args[27].toString());
    SqlBinds scopeBinds = period;
    const QString scope = scopeCondition(db, args, &scopeBinds);

    // The resulting prices are decided here, product by product, with the
    // screen's routine; the products that pass go to a scratch table and the
    // rows are then written day by day in single statements.
    db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (CDPRODUTO VARCHAR(10) "
                                 "PRIMARY KEY, PRECO DOUBLE PRECISION)")
                      .arg(kAcceptedTable));
    db.execDirect(QStringLiteral("DELETE FROM %1").arg(kAcceptedTable));
    BulkWriter accepted(
        db,
        QStringLiteral("INSERT INTO %1 (CDPRODUTO, PRECO) VALUES (:c0, :c1)").arg(kAcceptedTable),
        QStringLiteral("INSERT INTO %1 (CDPRODUTO, PRECO) SELECT * FROM unnest(CAST(:c0 AS "
                       "TEXT[]), CAST(:c1 AS DOUBLE PRECISION[]))")
            .arg(kAcceptedTable),
        {BulkWriter::Kind::Text, BulkWriter::Kind::Real}, {},
        QStringLiteral("separar os produtos"));
    SkippedProducts skipped;
    int taken = 0;
    {
        BulkReader items(db,
                         QStringLiteral("SELECT I.CDPRODUTO, I.VRPRECITEM, I.VRPRECITEMCL, "
                                        "P.CDARVPROD, P.NMPRODUTO FROM ITEMPRECO I JOIN PRODUTO P "
                                        "ON P.CDPRODUTO = I.CDPRODUTO WHERE I.CDFILIAL = :branch "
                                        "AND I.CDTABEPREC = :table AND I.DTINIVGPREC = :start AND "
                                        "I.CDPRPAITABPR = I.CDPRODUTO AND %1")
                             .arg(scope),
                         scopeBinds, QStringLiteral("ler os preços dos produtos"));
        while (items.next()) {
            const QString reason = skipReason(items, amount, rule);
            if (!reason.isEmpty()) {
                skipped.add(items.text(0), items.text(3), items.text(4), reason);
                continue;
            }
            Decimal base = Decimal::fromDouble(items.real(1));
            if (!items.isNull(2))
                base += Decimal::fromDouble(items.real(2));
            accepted.text(items.text(0));
            accepted.real(dayprice::priceFor(base, amount, rule).toDouble());
            accepted.endRow();
            ++taken;
        }
    }
    accepted.finish();
    // A listed product the period does not price is named too: it was asked
    // for and got nothing.
    if (args[10].toBool()) {
        QSqlQuery absent =
            runQuery(db,
                     QStringLiteral("SELECT L.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM %1 L LEFT "
                                    "JOIN PRODUTO P ON P.CDPRODUTO = L.CDPRODUTO WHERE NOT EXISTS "
                                    "(SELECT 1 FROM ITEMPRECO I WHERE I.CDFILIAL = :branch AND "
                                    "I.CDTABEPREC = :table AND I.DTINIVGPREC = :start AND "
                                    "I.CDPRODUTO = L.CDPRODUTO AND I.CDPRPAITABPR = L.CDPRODUTO)")
                         .arg(kSelectionTable),
                     period, QStringLiteral("ler os produtos fora da vigência"));
        while (absent.next()) {
            const bool known = !absent.value(1).isNull();
            skipped.add(absent.value(0).toString(), absent.value(1).toString(),
                        absent.value(2).toString(),
                        known ? QStringLiteral("sem preço de venda na vigência")
                              : QStringLiteral("produto não cadastrado"));
        }
    }

    const QString key =
        QStringLiteral("CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
                       "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                       "DTINIVALPREC");
    QStringList replaced;
    for (const char *column :
         {"DTFINVALPREC", "IDPERVALORPR", "IDDESCACREPR", "VRPRECODIA", "VRPRECODIADLV",
          "VRPRECODIACMD", "PRECO", "PRECODLV", "PRECOCMD", "IDVISUACUPOM", "IDTPMODGERAL",
          "IDTPMODDLV", "IDTPMODCMD", "DTULTALT"})
        replaced << QStringLiteral("%1 = excluded.%1").arg(QLatin1String(column));
    SqlBinds binds = period;
    binds << std::pair{QStringLiteral(":consumer"), consumer}
          << std::pair{QStringLiteral(":from"), from} << std::pair{QStringLiteral(":to"), to}
          << std::pair{QStringLiteral(":validFrom"), SqlDialect::bindDateTime(validFrom)}
          << std::pair{QStringLiteral(":validTo"), SqlDialect::bindDateTime(validTo)}
          << std::pair{QStringLiteral(":pv"),
                       rule.percentage ? QStringLiteral("P") : QStringLiteral("V")}
          << std::pair{QStringLiteral(":da"),
                       rule.discount ? QStringLiteral("D") : QStringLiteral("A")}
          << std::pair{QStringLiteral(":amount"), amount.toDouble()}
          << std::pair{QStringLiteral(":show"),
                       args[28].toInt() == 0 ? QStringLiteral("S") : QStringLiteral("N")}
          << std::pair{QStringLiteral(":day"), QString()};
    const SqlDialect &d = db.dialect();
    auto text = [&d](const char *param) {
        return d.typedParam(QString::fromLatin1(param), FieldType::String);
    };
    auto date = [&d](const char *param) {
        return d.typedParam(QString::fromLatin1(param), FieldType::DateTime);
    };
    const QString sql =
        QStringLiteral(
            "INSERT INTO ITEMPRECODIA (%1, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, "
            "VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, "
            "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, DTULTALT) "
            "SELECT %2, %3, %4, S.CDPRODUTO, S.CDPRODUTO, %5, %6, %7, %8, %9, %10, %11, %12, %13, "
            "0, 0, S.PRECO, NULL, NULL, %14, 'S', 'N', 'N', %15 FROM %16 S "
            "WHERE 1 = 1")
            .arg(key, text(":branch"), text(":table"), date(":start"), text(":consumer"),
                 text(":day"), text(":from"), text(":to"), date(":validFrom"))
            .arg(date(":validTo"), text(":pv"), text(":da"),
                 d.typedParam(QStringLiteral(":amount"), FieldType::Float), text(":show"), d.now(),
                 kAcceptedTable);
    const QString upsert = QStringLiteral(" ON CONFLICT (%1) DO UPDATE SET %2")
                               .arg(key, replaced.join(QStringLiteral(", ")));
    qint64 written = 0;
    if (taken > 0) {
        // PostgreSQL checks every row of an upsert for a conflict before it
        // writes it and confirms it afterwards; a rule laid on days that have
        // none of its rows yet (the usual case) goes in as plain rows, which
        // the key alone guards.
        const bool plain =
            !db.dialect().isSqlite() && !hasRowsOfRule(db, binds, days, kAcceptedTable);
        QSqlQuery insert = db.prepare(plain ? sql : sql + upsert);
        for (const QString &day : days) {
            binds.last().second = day;
            for (const auto &[name, value] : binds)
                insert.bindValue(name, value);
            db.exec(insert, QStringLiteral("gravar os preços diferenciados"));
            written += insert.numRowsAffected();
        }
    }
    tx.commit();
    return skipped.answer(written);
}

} // namespace

void registerAutoDayPriceMethods(MethodRegistry &registry)
{
    using A = ArgType;
    QList<A> args(13, A::Boolean);
    args << A::Integer << A::Integer;
    args << QList<A>(4, A::String) << QList<A>(2, A::String);
    args << A::DateTime << A::DateTime << A::DateTime << A::Double << A::String << A::Any
         << A::String << A::Integer;
    registry.add(kPriceTableObject, {"SetPrecDif", args, setPrecDif});
}

} // namespace prx::server
