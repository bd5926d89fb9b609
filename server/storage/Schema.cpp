#include "storage/Schema.h"

namespace prx::server {

int TableDef::indexOf(QStringView column) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (column.compare(columns[i].name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TableDef::isKey(QStringView column) const
{
    for (const QString &k : primaryKey) {
        if (column.compare(k, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

namespace {

// A small builder so that each table reads as one block below.
class Table
{
public:
    explicit Table(const QString &name) { m_def.name = name; }

    Table &text(const QString &name, int size, bool notNull = false)
    {
        m_def.columns.append({name, FieldType::String, size, notNull});
        return *this;
    }
    Table &real(const QString &name, bool notNull = false)
    {
        m_def.columns.append({name, FieldType::Float, 0, notNull});
        return *this;
    }
    Table &dateTime(const QString &name, bool notNull = false)
    {
        m_def.columns.append({name, FieldType::DateTime, 0, notNull});
        return *this;
    }
    Table &integer(const QString &name, bool notNull = false)
    {
        m_def.columns.append({name, FieldType::Integer, 0, notNull});
        return *this;
    }
    Table &key(const QStringList &columns)
    {
        m_def.primaryKey = columns;
        // Key columns are never null, whatever the column line said.
        for (ColumnDef &c : m_def.columns) {
            if (columns.contains(c.name))
                c.notNull = true;
        }
        return *this;
    }
    Table &references(const QStringList &columns, const QString &table,
                      const QStringList &refColumns = {})
    {
        m_def.foreignKeys.append({columns, table, refColumns.isEmpty() ? columns : refColumns});
        return *this;
    }
    Table &index(const QString &name, const QStringList &columns, bool unique = false)
    {
        m_def.indexes.append({name, columns, unique});
        return *this;
    }
    operator TableDef() const { return m_def; }

private:
    TableDef m_def;
};

const QStringList kPeriodKey = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC"};
const QStringList kItemKey = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"};

QList<TableDef> buildTables()
{
    QList<TableDef> t;
    t << Table("SEGMER").text("CDSEGMER", 5).text("NMSEGMER", 40, true).key({"CDSEGMER"});
    t << Table("GRUPOPROD")
             .text("CDGRPRODPDV", 10)
             .text("NMGRPRODPDV", 40, true)
             .key({"CDGRPRODPDV"});
    t << Table("FILIAL")
             .text("CDFILIAL", 4)
             .text("NMFILIAL", 30, true)
             .text("CDSEGMER", 5)
             .text("IDPRECDIFCOM", 1)
             .text("CDGRPRODPDV", 10)
             .text("IDUTMODPRODFIL", 1)
             .key({"CDFILIAL"})
             .references({"CDSEGMER"}, "SEGMER")
             .references({"CDGRPRODPDV"}, "GRUPOPROD");
    // Digits of each level of the product tree codes (2, 2 and 4 in the demo).
    t << Table("PARAMARVPROD")
             .integer("NRNIVEL")
             .integer("NRDIGITOS", true)
             .text("NMNIVEL", 30)
             .key({"NRNIVEL"});
    // Inner nodes of the product tree; the leaves are the products.
    t << Table("ARVPROD")
             .text("CDARVPROD", 20)
             .text("NMARVPROD", 50, true)
             .integer("NRNIVEL", true)
             .key({"CDARVPROD"});
    t << Table("PRODUTO")
             .text("CDPRODUTO", 10)
             .text("NMPRODUTO", 50, true)
             .text("CDARVPROD", 20, true)
             .text("CDBARPRODUTO", 30)
             .key({"CDPRODUTO"})
             .index("IXPRODUTOARV", {"CDARVPROD"}, true);
    t << Table("PRODSEGMER")
             .text("CDSEGMER", 5)
             .text("CDPRODUTO", 10)
             .key({"CDSEGMER", "CDPRODUTO"})
             .references({"CDSEGMER"}, "SEGMER")
             .references({"CDPRODUTO"}, "PRODUTO");
    // Composite products: each component with its quantity.
    t << Table("PRODCOMP")
             .text("CDPRODUTO", 10)
             .text("CDPRODCOMP", 10)
             .real("QTPRODCOMP", true)
             .key({"CDPRODUTO", "CDPRODCOMP"})
             .references({"CDPRODUTO"}, "PRODUTO")
             .references({"CDPRODCOMP"}, "PRODUTO", {"CDPRODUTO"});
    t << Table("TIPOCUSTO")
             .integer("CDTIPOCUSTO")
             .text("NMTIPOCUSTO", 30, true)
             .key({"CDTIPOCUSTO"});
    t << Table("CUSTOPROD")
             .text("CDFILIAL", 4)
             .text("CDPRODUTO", 10)
             .integer("CDTIPOCUSTO")
             .real("VRCUSTPROD", true)
             .key({"CDFILIAL", "CDPRODUTO", "CDTIPOCUSTO"})
             .references({"CDFILIAL"}, "FILIAL")
             .references({"CDPRODUTO"}, "PRODUTO")
             .references({"CDTIPOCUSTO"}, "TIPOCUSTO");
    // Percentage added to the cost when a price is calculated.
    t << Table("PERCCUSTO")
             .text("CDFILIAL", 4)
             .text("CDPRODUTO", 10)
             .real("VRPERCCUSTO", true)
             .key({"CDFILIAL", "CDPRODUTO"})
             .references({"CDFILIAL"}, "FILIAL")
             .references({"CDPRODUTO"}, "PRODUTO");
    t << Table("ALIQPROD")
             .text("CDFILIAL", 4)
             .text("CDPRODUTO", 10)
             .real("VRALIQPROD", true)
             .key({"CDFILIAL", "CDPRODUTO"})
             .references({"CDFILIAL"}, "FILIAL")
             .references({"CDPRODUTO"}, "PRODUTO");
    t << Table("TIPOCONS").text("CDTIPOCONS", 2).text("NMTIPOCONS", 20, true).key({"CDTIPOCONS"});
    t << Table("TIPOCONSFILI")
             .text("CDFILIAL", 4)
             .text("CDTIPOCONS", 2)
             .key({"CDFILIAL", "CDTIPOCONS"})
             .references({"CDFILIAL"}, "FILIAL")
             .references({"CDTIPOCONS"}, "TIPOCONS");
    t << Table("CLIENTE").text("CDCLIENTE", 10).text("NMCLIENTE", 50, true).key({"CDCLIENTE"});
    t << Table("LOJA")
             .text("CDFILIAL", 4)
             .text("CDLOJA", 10)
             .text("NMLOJA", 30, true)
             .key({"CDFILIAL", "CDLOJA"})
             .references({"CDFILIAL"}, "FILIAL");
    t << Table("TABEPREC")
             .text("CDFILIAL", 4)
             .text("CDTABEPREC", 3)
             .text("NMTABEPREC", 20, true)
             .key({"CDFILIAL", "CDTABEPREC"})
             .references({"CDFILIAL"}, "FILIAL");
    t << Table("TABEVEND")
             .text("CDFILIAL", 4)
             .text("CDTABEPREC", 3)
             .dateTime("DTINIVGPREC")
             .dateTime("DTFINVGPREC")
             .text("IDSITVGPREC", 10, true)
             .dateTime("DTULTALT")
             .key(kPeriodKey)
             .references({"CDFILIAL", "CDTABEPREC"}, "TABEPREC");
    // Price items: a product's own row carries its code in CDPRPAITABPR; the
    // prices of a component inside a composite carry the composite's code.
    t << Table("ITEMPRECO")
             .text("CDFILIAL", 4)
             .text("CDTABEPREC", 3)
             .dateTime("DTINIVGPREC")
             .text("CDPRODUTO", 10)
             .text("CDPRPAITABPR", 10)
             .real("VRPRECITEM")
             .real("VRPRECITEMDLV")
             .real("VRPRECITEMCMD")
             .real("VRPRECITEMCL")
             .text("IDPRECVARIA", 1)
             .real("VRPRESUGITEM")
             .real("VRCUSTITEM")
             .real("VRMKUPITEM")
             .text("IDPRODPROMOC", 1)
             .text("HRINIVENPROD", 4)
             .text("HRFIMVENPROD", 4)
             .text("IDIMPPRODROT", 1)
             .dateTime("DTULTALT")
             .key(kItemKey)
             .references(kPeriodKey, "TABEVEND")
             .references({"CDPRODUTO"}, "PRODUTO")
             .references({"CDPRPAITABPR"}, "PRODUTO", {"CDPRODUTO"});
    t << Table("ITEMPRECODIA")
             .text("CDFILIAL", 4)
             .text("CDTABEPREC", 3)
             .dateTime("DTINIVGPREC")
             .text("CDPRODUTO", 10)
             .text("CDPRPAITABPR", 10)
             .text("CDTIPOCONSPD", 2)
             .text("NRDIASEMANPR", 1)
             .text("HRINIPRECDIA", 4)
             .text("HRFINPRECDIA", 4)
             .dateTime("DTINIVALPREC")
             .dateTime("DTFINVALPREC")
             .text("IDPERVALORPR", 1)
             .text("IDDESCACREPR", 1)
             .real("VRPRECODIA")
             .real("VRPRECODIADLV")
             .real("VRPRECODIACMD")
             .real("PRECO")
             .real("PRECODLV")
             .real("PRECOCMD")
             .text("IDVISUACUPOM", 1)
             .text("IDTPMODGERAL", 1)
             .text("IDTPMODDLV", 1)
             .text("IDTPMODCMD", 1)
             .dateTime("DTULTALT")
             .key(kItemKey + QStringList{"CDTIPOCONSPD", "NRDIASEMANPR", "HRINIPRECDIA",
                                         "HRFINPRECDIA", "DTINIVALPREC"})
             .references(kItemKey, "ITEMPRECO");
    // Holidays: a branch's own dates, and national dates under CDFILIAL "T"
    // that every branch keeps. The day before a holiday is its eve. Every
    // lookup names the branches and the dates: the key serves them.
    t << Table("FERIADO")
             .text("CDFILIAL", 4)
             .dateTime("DTFERIADO")
             .text("NMFERIADO", 40, true)
             .key({"CDFILIAL", "DTFERIADO"});
    // Assignments of a price table (CDFILTABPR, CDTABEPREC) to those who buy
    // by it; while one exists the table's periods may not be deleted.
    const QStringList table = {"CDFILTABPR", "CDTABEPREC"};
    const QStringList tableRef = {"CDFILIAL", "CDTABEPREC"};
    t << Table("TABPRECFILI")
             .text("CDFILIAL", 4)
             .text("CDFILTABPR", 4)
             .text("CDTABEPREC", 3)
             .key({"CDFILIAL", "CDFILTABPR", "CDTABEPREC"})
             .references({"CDFILIAL"}, "FILIAL")
             .references(table, "TABEPREC", tableRef)
             .index("IXTABPRECFILI", table);
    t << Table("TABPRECLOJA")
             .text("CDFILIAL", 4)
             .text("CDLOJA", 10)
             .text("CDFILTABPR", 4)
             .text("CDTABEPREC", 3)
             .key({"CDFILIAL", "CDLOJA", "CDFILTABPR", "CDTABEPREC"})
             .references({"CDFILIAL", "CDLOJA"}, "LOJA")
             .references(table, "TABEPREC", tableRef)
             .index("IXTABPRECLOJA", table);
    t << Table("TABPRECCLI")
             .text("CDCLIENTE", 10)
             .text("CDFILTABPR", 4)
             .text("CDTABEPREC", 3)
             .key({"CDCLIENTE", "CDFILTABPR", "CDTABEPREC"})
             .references({"CDCLIENTE"}, "CLIENTE")
             .references(table, "TABEPREC", tableRef)
             .index("IXTABPRECCLI", table);
    t << Table("TABPRECCLIFILI")
             .text("CDCLIENTE", 10)
             .text("CDFILIAL", 4)
             .text("CDFILTABPR", 4)
             .text("CDTABEPREC", 3)
             .key({"CDCLIENTE", "CDFILIAL", "CDFILTABPR", "CDTABEPREC"})
             .references({"CDCLIENTE"}, "CLIENTE")
             .references({"CDFILIAL"}, "FILIAL")
             .references(table, "TABEPREC", tableRef)
             .index("IXTABPRECCLIFILI", table);
    return t;
}

} // namespace

const QList<TableDef> &Schema::tables()
{
    static const QList<TableDef> all = buildTables();
    return all;
}

const TableDef &Schema::table(QStringView name)
{
    for (const TableDef &t : tables()) {
        if (name.compare(t.name, Qt::CaseInsensitive) == 0)
            return t;
    }
    qFatal("Schema::table: unknown table %s", qPrintable(name.toString()));
}

} // namespace prx::server
