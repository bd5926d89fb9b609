#include "methods/ItemWriter.h"

#include "core/MethodRegistry.h"
#include "methods/DayPriceRecompute.h"
#include "methods/MethodSupport.h"
#include "money/Decimal.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QLocale>

namespace prx::server {

namespace {
QString describeItem(const DeltaRow &row)
{
    const TableDef &t = Schema::table(u"ITEMPRECO");
    const QString product = row.text(t.indexOf(u"CDPRODUTO"));
    const QString parent = row.text(t.indexOf(u"CDPRPAITABPR"));
    if (parent.isEmpty() || parent == product)
        return QStringLiteral("o preço do produto %1").arg(product);
    return QStringLiteral("o preço do componente %1 do produto %2").arg(product, parent);
}
} // namespace

ItemWriter::ItemWriter(const Storage &storage, const DeltaPacket &delta)
    : DeltaWriter(storage, Schema::table(u"ITEMPRECO"), delta, describeItem), m_db(storage),
      m_delta(delta)
{
    setKeyFixed(true);
}

QList<FieldDef> ItemWriter::packetFields()
{
    return {{"NMPRODUTO", FieldType::String, 50},    {"CDARVPROD", FieldType::String, 20},
            {"CDPRODUTO", FieldType::String, 10},    {"CDBARPRODUTO", FieldType::String, 30},
            {"VRPRECITEM", FieldType::Float, 0},     {"VRPRECITEMDLV", FieldType::Float, 0},
            {"VRPRECITEMCMD", FieldType::Float, 0},  {"VRPRECITEMCL", FieldType::Float, 0},
            {"NRCOMPPROD", FieldType::Float, 0},     {"IDPRECVARIA", FieldType::String, 1},
            {"VRPRESUGITEM", FieldType::Float, 0},   {"VRCUSTITEM", FieldType::Float, 0},
            {"VRMKUPITEM", FieldType::Float, 0},     {"CDFILIAL", FieldType::String, 4},
            {"CDTABEPREC", FieldType::String, 3},    {"CDSEGMER", FieldType::String, 5},
            {"CDPRPAITABPR", FieldType::String, 10}, {"DTINIVGPREC", FieldType::DateTime, 0},
            {"IDPRODPROMOC", FieldType::String, 1},  {"HRINIVENPROD", FieldType::String, 4},
            {"HRFIMVENPROD", FieldType::String, 4}};
}

namespace {

// The price columns of an item row, with the titles the grid gives them.
struct PriceColumn
{
    const char16_t *field;
    const char *title;
    const char *negative; // null: a negative value is not refused
    const char *tooLarge;
};
constexpr PriceColumn kPriceColumns[] = {
    {u"VRPRECITEM", "Preço", "Valor consumidor deve ser maior que zero.",
     "Operação bloqueda. Valor preço inválido."},
    {u"VRPRECITEMDLV", "Pr. Delivery", "Valor consumidor deve ser maior que zero.",
     "Operação bloqueda. Valor preço inválido."},
    {u"VRPRECITEMCMD", "Pr. Comanda", "Valor consumidor deve ser maior que zero.",
     "Operação bloqueda. Valor preço inválido."},
    {u"VRPRECITEMCL", "Preço Subs.", "Valor Cliente deve ser maior que zero.",
     "Operação bloqueda. Valor preço subsidiado inválido."},
    {u"VRPRESUGITEM", "Pr. Sugerido", nullptr,
     "Operação bloqueada. Valor preço sugerido inválido."},
    {u"VRCUSTITEM", "Pr. Calculado", nullptr,
     "Operação bloqueada. Valor preço calculado inválido."},
};

} // namespace

// The limits the item grid keeps on prices hold for every client: no typed
// price below zero (zero is a valid "no charge"), no price at or above the
// largest value the columns take.
void ItemWriter::checkPrices(const DeltaRow &row) const
{
    const double limit = kPriceLimit.toDouble();
    for (const PriceColumn &rule : kPriceColumns) {
        const int c = column(rule.field);
        if (row.isNull(c))
            continue;
        const double v = row.values[c].toDouble();
        const char *refusal = v >= limit ? rule.tooLarge : (v < 0 ? rule.negative : nullptr);
        if (refusal) {
            throw ServerError(
                QStringLiteral("%1 (%2)").arg(QString::fromUtf8(refusal), describeItem(row)));
        }
    }
}

// A price is stored exactly as it will be sold: a value with a third decimal
// is refused rather than cut, so that no client sees one price and the table
// holds another. Only values the change sets are judged; a value already
// stored and sent back untouched keeps the row editable.
void ItemWriter::checkCents(const DeltaRow &row, const DeltaRow *original) const
{
    for (const PriceColumn &rule : kPriceColumns) {
        const int c = column(rule.field);
        if (row.isNull(c))
            continue;
        const double v = row.values[c].toDouble();
        if (isCents(v))
            continue;
        if (original && original->has(c) && !original->isNull(c) &&
            original->values[c].toDouble() == v)
            continue;
        throw ServerError(
            QStringLiteral("Valor com mais de duas casas decimais em \"%1\": %2 (%3).")
                .arg(QString::fromUtf8(rule.title),
                     QString::number(v, 'g', QLocale::FloatingPointShortest).replace(u'.', u','),
                     describeItem(row)));
    }
}

void ItemWriter::checkValues(const DeltaRow &row) const
{
    checkPrices(row);
    for (const char16_t *flag : {u"IDPRECVARIA", u"IDPRODPROMOC", u"IDIMPPRODROT"}) {
        const QString v = row.text(column(flag));
        if (!v.isEmpty() && v != u"S" && v != u"N") {
            throw ServerError(QStringLiteral("Valor inválido para o campo %1: \"%2\".")
                                  .arg(QString::fromUtf16(flag), v));
        }
    }
    for (const char16_t *hour : {u"HRINIVENPROD", u"HRFIMVENPROD"}) {
        const QString v = row.text(column(hour));
        if (!v.isEmpty() && !isValidHour(v)) {
            throw ServerError(
                QStringLiteral("'%1'  Não é hora válida.").arg(v.left(2) + u':' + v.mid(2)));
        }
    }
}

bool ItemWriter::allPricesNull(const DeltaRow &original) const
{
    for (int c = 0; c < table().columns.size(); ++c) {
        if (original.has(c) && !table().isKey(table().columns[c].name) && !original.isNull(c))
            return false;
    }
    return true;
}

void ItemWriter::removeDayPrices(const DeltaRow &original)
{
    QStringList terms;
    SqlBinds binds;
    for (const QString &k : table().primaryKey) {
        terms << QStringLiteral("%1 = :%1").arg(k);
        binds.append({u':' + k, original.values[column(k)]});
    }
    runQuery(m_db, QStringLiteral("DELETE FROM ITEMPRECODIA WHERE ") + terms.join(u" AND "), binds,
             QStringLiteral("excluir preços diferenciados"));
}

// The stored prices of the item's differentiated prices follow its prices.
void ItemWriter::recomputeDayPrices(const DeltaRow &row)
{
    SqlBinds key;
    for (const QString &k : table().primaryKey)
        key.append({u':' + k, row.values[column(k)]});
    recomputeDayPricesOfItem(m_db, key);
}

void ItemWriter::apply(const DeltaChange &change, const std::function<void(DeltaRow &)> &prepare)
{
    switch (change.kind) {
    case ChangeKind::Insert: {
        DeltaRow row = currentRow(change);
        prepare(row);
        checkCents(row, nullptr);
        if (!insert(row)) {
            const QString what = describeItem(row);
            throw ServerError(what.left(1).toUpper() + what.mid(1) +
                              QStringLiteral(" já está cadastrado no período."));
        }
        recomputeDayPrices(row);
        break;
    }
    case ChangeKind::Update: {
        const DeltaRow original = originalRow(change);
        DeltaRow current = currentRow(change);
        prepare(current);
        checkCents(current, &original);
        if (update(original, current) || (allPricesNull(original) && insert(current))) {
            recomputeDayPrices(current);
            break;
        }
        conflict(original);
    }
    case ChangeKind::Delete: {
        const DeltaRow original = originalRow(change);
        removeDayPrices(original);
        removeOrConflict(original);
        break;
    }
    }
}

int ItemWriter::applyAll(const std::function<void(DeltaRow &)> &prepare)
{
    Transaction tx(m_db);
    for (const DeltaChange &change : m_delta.changes)
        apply(change, prepare);
    tx.commit();
    return int(m_delta.changes.size());
}

} // namespace prx::server
