// The holiday calendar: a branch's own dates and the national ones (branch
// "T"), which every branch keeps.
#include "methods/MethodSupport.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

// "T" or a registered branch.
QString calendarArg(const Storage &db, const QVariant &value)
{
    const QString branch = value.toString().trimmed().toUpper();
    if (branch.isEmpty())
        throw ServerError(QStringLiteral("Informe a filial (ou T para os feriados nacionais)."),
                          ErrorArguments);
    if (branch != u"T" &&
        !queryHasRows(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = :b"),
                      {{QStringLiteral(":b"), branch}}))
        throw ServerError(QStringLiteral("Filial %1 não cadastrada.").arg(branch));
    return branch;
}

QDateTime dayArg(const QVariant &value)
{
    const QDateTime at = dateTimeArg(value);
    if (!at.isValid())
        throw ServerError(QStringLiteral("Informe a data do feriado."), ErrorArguments);
    return wallClock(at.date());
}

// The holidays a branch keeps (its own and the national ones; only the
// national ones for "T"), of one year or of every year (0), by date.
QVariant getFeriado(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QString branch = calendarArg(db, args[0]);
    const int year = args[1].toInt();
    SqlBinds binds = {{QStringLiteral(":b"), branch}};
    QString where = QStringLiteral("CDFILIAL IN (:b, 'T')");
    if (year > 0) {
        where += QStringLiteral(" AND DTFERIADO >= :from AND DTFERIADO < :to");
        binds.append(
            {QStringLiteral(":from"), SqlDialect::bindDateTime(wallClock(QDate(year, 1, 1)))});
        binds.append(
            {QStringLiteral(":to"), SqlDialect::bindDateTime(wallClock(QDate(year + 1, 1, 1)))});
    }
    return packetResult(
        PacketReader({{"CDFILIAL", FieldType::String, 4},
                      {"DTFERIADO", FieldType::DateTime, 0},
                      {"NMFERIADO", FieldType::String, 40}})
            .read(db,
                  QStringLiteral("SELECT CDFILIAL, %1, NMFERIADO FROM FERIADO "
                                 "WHERE ")
                          .arg(db.dialect().selectDateTime(QStringLiteral("DTFERIADO"))) +
                      where + QStringLiteral(" ORDER BY DTFERIADO, CDFILIAL"),
                  binds, QStringLiteral("ler os feriados")));
}

// Adds a holiday to a branch's calendar ("T": national). A date the branch
// already keeps, as its own or as a national one, is refused.
QVariant setFeriado(Context &ctx, const QVariantList &args)
{
    Storage &db = ctx.storage;
    Transaction tx(db);
    const QString branch = calendarArg(db, args[0]);
    const QDateTime day = dayArg(args[1]);
    const QString name = args[2].toString().trimmed();
    if (name.isEmpty())
        throw ServerError(QStringLiteral("Informe o nome do feriado."), ErrorArguments);
    if (name.size() > 40)
        throw ServerError(QStringLiteral("Nome do feriado deve ter no máximo 40 caracteres."),
                          ErrorArguments);
    const SqlBinds key = {{QStringLiteral(":b"), branch},
                          {QStringLiteral(":d"), SqlDialect::bindDateTime(day)}};
    const QString kept =
        branch == u"T" ? QStringLiteral("CDFILIAL = :b") : QStringLiteral("CDFILIAL IN (:b, 'T')");
    if (queryHasRows(db,
                     QStringLiteral("SELECT 1 FROM FERIADO WHERE ") + kept +
                         QStringLiteral(" AND DTFERIADO = :d"),
                     key))
        throw ServerError(QStringLiteral("Feriado já cadastrado em %1 para a filial %2.")
                              .arg(dateText(day), branch));
    runQuery(db,
             QStringLiteral("INSERT INTO FERIADO (CDFILIAL, DTFERIADO, NMFERIADO) VALUES (:b, :d, "
                            ":n)"),
             key + SqlBinds{{QStringLiteral(":n"), name}}, QStringLiteral("gravar o feriado"));
    tx.commit();
    return true;
}

// Removes a holiday of the branch's own calendar ("T": a national one).
QVariant delFeriado(Context &ctx, const QVariantList &args)
{
    Storage &db = ctx.storage;
    Transaction tx(db);
    const QString branch = calendarArg(db, args[0]);
    const QDateTime day = dayArg(args[1]);
    QSqlQuery q = runQuery(
        db, QStringLiteral("DELETE FROM FERIADO WHERE CDFILIAL = :b AND DTFERIADO = :d"),
        {{QStringLiteral(":b"), branch}, {QStringLiteral(":d"), SqlDialect::bindDateTime(day)}},
        QStringLiteral("excluir o feriado"));
    if (q.numRowsAffected() < 1)
        throw ServerError(QStringLiteral("Feriado não cadastrado em %1 para a filial %2.")
                              .arg(dateText(day), branch));
    tx.commit();
    return true;
}

} // namespace

void registerHolidayMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"GetFeriado", {A::String, A::Integer}, getFeriado});
    registry.add(kPriceTableObject,
                 {"SetFeriado", {A::String, A::DateTime, A::String}, setFeriado});
    registry.add(kPriceTableObject, {"DelFeriado", {A::String, A::DateTime}, delFeriado});
}

} // namespace prx::server
