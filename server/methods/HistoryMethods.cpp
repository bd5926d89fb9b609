// The history of a product's prices in a table.
#include "methods/CheckText.h"
#include "methods/MethodSupport.h"
#include "storage/HistoryTriggers.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"

namespace prx::server {

namespace {

const std::pair<const char *, const char *> kPriceLabels[] = {{"VRPRECITEM", "Preço"},
                                                              {"VRPRECITEMDLV", "Pr. Delivery"},
                                                              {"VRPRECITEMCMD", "Pr. Comanda"},
                                                              {"VRPRECITEMCL", "Preço Subs."},
                                                              {"VRPRESUGITEM", "Pr. Sugerido"},
                                                              {"VRCUSTITEM", "Pr. Calculado"},
                                                              {"VRPRECODIA", "Valor"},
                                                              {"VRPRECODIADLV", "Valor Delivery"},
                                                              {"VRPRECODIACMD", "Valor Comanda"},
                                                              {"PRECO", "Preço"},
                                                              {"PRECODLV", "Preço Delivery"},
                                                              {"PRECOCMD", "Preço Comanda"}};

// Every recorded change of a product's prices in the table, newest first:
// its own item row, its components' prices inside it and its differentiated
// prices; of one period, or of all when the period is null.
// A text literal of SQL.
QString literal(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// The operation in words: the history keeps the method's name.
QString operationText()
{
    QStringList cases;
    for (const auto &[method, words] : historyOperationNames())
        cases << QStringLiteral("WHEN %1 THEN %2").arg(literal(method), literal(words));
    return QStringLiteral("CASE COALESCE(NMOPERACAO, '') WHEN '' THEN %1 %2 ELSE NMOPERACAO END")
        .arg(literal(QString::fromUtf16(kNoOperationText)), cases.join(u' '));
}

// The weekday by name, as the differentiated prices grid shows it.
QString dayName()
{
    QStringList cases;
    for (const char *code : {"1", "2", "3", "4", "5", "6", "7", "V", "F", "T"}) {
        const QString c = QString::fromLatin1(code);
        cases << QStringLiteral("WHEN '%1' THEN %2").arg(c, literal(dayText(c)));
    }
    return QStringLiteral("CASE NRDIASEMANPR %1 ELSE COALESCE(NRDIASEMANPR, '') END")
        .arg(cases.join(u' '));
}

QVariant getHistPreco(Context &ctx, const QVariantList &args)
{
    const QVariant &period = args[2];
    if (!period.isNull() && period.metaType().id() != QMetaType::QDateTime)
        throw ServerError(QStringLiteral("A vigência deve ser uma data-hora ou nula."),
                          ErrorArguments);
    const SqlDialect &d = ctx.storage.dialect();
    // The differentiated price's key as the screen shows it:
    // "Todos | Sábado | 08:00-12:00 | 01/02/2026": the consumer type by its
    // name, the weekday in words.
    const QString validFrom = d.selectDateTime(QStringLiteral("DTINIVALPREC"));
    const QString dayKey =
        QStringLiteral(
            "CASE WHEN IDTPREGHIST = 'D' THEN COALESCE(CASE WHEN CDTIPOCONSPD = 'T' THEN "
            "'Todos' ELSE (SELECT NMTIPOCONS FROM TIPOCONS WHERE CDTIPOCONS = CDTIPOCONSPD) "
            "END, CDTIPOCONSPD, '') || ' | ' || %2 || ' | ' || "
            "COALESCE(SUBSTR(HRINIPRECDIA, 1, 2) || ':' || SUBSTR(HRINIPRECDIA, 3, 2), '') || '-' "
            "|| COALESCE(SUBSTR(HRFINPRECDIA, 1, 2) || ':' || SUBSTR(HRFINPRECDIA, 3, 2), '') || "
            "' | ' || COALESCE(SUBSTR(%1, 9, 2) || '/' || SUBSTR(%1, 6, 2) || '/' || "
            "SUBSTR(%1, 1, 4), '') END")
            .arg(validFrom, dayName());
    // The column's name as the grids title it.
    QStringList labels;
    for (const auto &[column, label] : kPriceLabels)
        labels << QStringLiteral("WHEN '%1' THEN '%2'")
                      .arg(QLatin1String(column), QString::fromUtf8(label));
    const QString fieldLabel =
        QStringLiteral("CASE NMCAMPO %1 ELSE NMCAMPO END").arg(labels.join(u' '));
    PacketReader reader({{"DTHISTPRECO", FieldType::DateTime, 0},
                         {"NMUSUARIO", FieldType::String, 40},
                         {"NMOPERACAO", FieldType::String, 60},
                         {"DSALTERACAO", FieldType::String, 10},
                         {"DSREGISTRO", FieldType::String, 20},
                         {"DTINIVGPREC", FieldType::DateTime, 0},
                         {"CDPRODUTO", FieldType::String, 10},
                         {"DSCHAVEDIA", FieldType::String, 100},
                         {"DSCAMPO", FieldType::String, 20},
                         {"VRANTERIOR", FieldType::Float, 0},
                         {"VRNOVO", FieldType::Float, 0},
                         {"IDTPALTHIST", FieldType::String, 1},
                         {"IDTPREGHIST", FieldType::String, 1},
                         {"NMCAMPO", FieldType::String, 20},
                         {"CDARVPROD", FieldType::String, 20}});
    SqlBinds binds = {{QStringLiteral(":branch"), args[0]},
                      {QStringLiteral(":table"), args[1]},
                      {QStringLiteral(":product"), args[3]}};
    QString periodTerm;
    if (!period.isNull()) {
        periodTerm = QStringLiteral(" AND DTINIVGPREC = :start");
        binds.append({QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(period))});
    }
    const QString sql =
        QStringLiteral(
            "SELECT %1, NMUSUARIO, %6, "
            "CASE IDTPALTHIST WHEN 'I' THEN 'Inclusão' WHEN 'A' THEN 'Alteração' "
            "ELSE 'Exclusão' END, "
            "CASE IDTPREGHIST WHEN 'I' THEN 'Item' WHEN 'C' THEN 'Componente' "
            "ELSE 'Preço diferenciado' END, %2, "
            "CDPRODUTO, %3, %5, VRANTERIOR, VRNOVO, IDTPALTHIST, IDTPREGHIST, NMCAMPO, "
            "(SELECT P.CDARVPROD FROM PRODUTO P WHERE P.CDPRODUTO = HISTPRECO.CDPRODUTO) "
            "FROM HISTPRECO WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
            "CDPRPAITABPR = :product%4 ORDER BY NRHISTPRECO DESC")
            .arg(d.selectDateTime(QStringLiteral("DTHISTPRECO")),
                 d.selectDateTime(QStringLiteral("DTINIVGPREC")), dayKey, periodTerm, fieldLabel,
                 operationText());
    return packetResult(reader.read(ctx.storage, sql, binds, QStringLiteral("ler o histórico")));
}

} // namespace

void registerHistoryMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetHistPreco", {A::String, A::String, A::Any, A::String}, getHistPreco});
}

} // namespace prx::server
