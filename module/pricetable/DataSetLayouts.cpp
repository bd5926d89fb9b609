#include "DataSetLayouts.h"

#include "dataset/ClientDataSet.h"

namespace prx::pricetable {

namespace {

constexpr auto S = FieldType::String;
constexpr auto F = FieldType::Float;
constexpr auto D = FieldType::DateTime;

const QString moneyFormat = QStringLiteral("#,##0.00");
const QString hourMask = QStringLiteral("99:99;0; ");

Field &hidden(Field &f)
{
    f.setVisible(false);
    return f;
}

Field &labelled(Field &f, const QString &label)
{
    f.setDisplayLabel(label);
    return f;
}

Field &money(Field &f, const QString &label)
{
    f.setDisplayLabel(label);
    f.setDisplayFormat(moneyFormat);
    f.setEditFormat(moneyFormat);
    return f;
}

} // namespace

void defineFilialFields(ClientDataSet &ds)
{
    labelled(ds.addField("CDFILIAL", S, 4), "Código");
    labelled(ds.addField("NMFILIAL", S, 30), "Nome");
    hidden(ds.addField("CDSEGMER", S, 5));
    hidden(ds.addField("SEGMENTO", S, 48)).setReadOnly(true);
    hidden(ds.addField("IDPRECDIFCOM", S, 1));
    hidden(ds.addField("CDGRPRODPDV", S, 10));
    hidden(ds.addField("GRUPOPROD", S, 53)).setReadOnly(true);
    hidden(labelled(ds.addField("IDUTMODPRODFIL", S, 1), "Módulo de Produtos"));
}

void defineTabePrecFields(ClientDataSet &ds)
{
    hidden(ds.addField("CDFILIAL", S, 4));
    labelled(ds.addField("CDTABEPREC", S, 3), "Código");
    labelled(ds.addField("NMTABEPREC", S, 20), "Nome");
}

void defineVerifTabePrecFields(ClientDataSet &ds)
{
    ds.addField("CDTABEPREC", S, 3);
}

void defineTabeVendFields(ClientDataSet &ds)
{
    Field &code = hidden(labelled(ds.addField("CDTABEPREC", S, 3), "Código"));
    code.setEditMask("999;0; ");
    labelled(ds.addField("DTINIVGPREC", D), "Início Vigência");
    labelled(ds.addField("DTFINVGPREC", D), "Fim Vigência");
    labelled(ds.addCalculatedField("Situacao", S, 10), "Situação");
    hidden(ds.addField("CDFILIAL", S, 4));
    hidden(ds.addCalculatedField("DSPREC", S, 150));
    labelled(ds.addField("IDSITVGPREC", S, 10), "Status");
    hidden(ds.addField("NMTABEPREC", S, 20));
}

void definePesqDataVigenteFields(ClientDataSet &ds)
{
    ds.addField("DTINIVGPREC", D);
    ds.addField("DTFINVGPREC", D);
}

void defineMaxDtFinVgFields(ClientDataSet &ds)
{
    ds.addField("DTFINVGPREC", D);
}

void defineVingFields(ClientDataSet &ds, const char *keyField, int size)
{
    ds.addField(QString::fromLatin1(keyField), S, size);
}

void defineItemPrecoFields(ClientDataSet &ds)
{
    labelled(ds.addField("NMPRODUTO", S, 50), "Nome").setReadOnly(true);
    labelled(ds.addField("CDARVPROD", S, 20), "Produto");
    hidden(labelled(ds.addField("CDPRODUTO", S, 10), "Produto"));
    labelled(ds.addField("CDBARPRODUTO", S, 30), "Código de Barra").setReadOnly(true);
    money(ds.addField("VRPRECITEM", F), "Preço");
    labelled(ds.addField("VRPRECITEMDLV", F), "Pr. Delivery");
    labelled(ds.addField("VRPRECITEMCMD", F), "Pr. Comanda");
    money(ds.addField("VRPRECITEMCL", F), "Preço Subs.");
    hidden(labelled(ds.addField("NRCOMPPROD", F), " "));
    labelled(ds.addField("IDPRECVARIA", S, 1), "Pr. Variável");
    money(ds.addField("VRPRESUGITEM", F), "Pr. Sugerido");
    labelled(ds.addField("VRCUSTITEM", F), "Pr. Calculado").setDisplayFormat("0.000");
    Field &markup = hidden(labelled(ds.addField("VRMKUPITEM", F), "Mark Up"));
    markup.setDisplayFormat("0.00");
    hidden(ds.addField("CDFILIAL", S, 4));
    hidden(ds.addField("CDTABEPREC", S, 3));
    hidden(ds.addField("CDSEGMER", S, 5));
    hidden(ds.addField("CDPRPAITABPR", S, 10));
    hidden(ds.addField("DTINIVGPREC", D));
    labelled(ds.addField("IDPRODPROMOC", S, 1), "Promoção");
    labelled(ds.addField("HRINIVENPROD", S, 4), "Hora Inicial").setEditMask(hourMask);
    labelled(ds.addField("HRFIMVENPROD", S, 4), "Hora Final").setEditMask(hourMask);
}

void defineItemPrecoCompFields(ClientDataSet &ds)
{
    labelled(ds.addField("NMPRODUTO", S, 50), "Nome");
    labelled(ds.addField("CDARVPROD", S, 20), "Produto");
    hidden(labelled(ds.addField("CDPRODUTO", S, 10), "Produto"));
    money(ds.addField("VRPRECITEM", F), "Preço Consumidor");
    money(ds.addField("VRPRECITEMCL", F), "Preço Cliente");
    hidden(ds.addField("CDPRPAITABPR", S, 10));
    hidden(ds.addField("DTINIVGPREC", D));
    hidden(ds.addField("IDIMPPRODROT", S, 1));
    Field &qty = hidden(labelled(ds.addField("QUANTIDADE", F), "Quantidade"));
    qty.setDisplayFormat(moneyFormat);
    hidden(ds.addField("CDFILIAL", S, 4));
    hidden(ds.addField("CDTABEPREC", S, 3));
}

void definePrecoHoraFields(ClientDataSet &ds)
{
    hidden(ds.addField("CDFILIAL", S, 4));
    hidden(ds.addField("CDTABEPREC", S, 3));
    hidden(ds.addField("DTINIVGPREC", D));
    hidden(ds.addField("CDPRPAITABPR", S, 10));
    hidden(ds.addField("CDPRODUTO", S, 10));
    labelled(ds.addField("NRDIASEMANPR", S, 1), "Dia");
    labelled(ds.addField("IDPERVALORPR", S, 1), "Percentual/Valor");
    labelled(ds.addField("IDDESCACREPR", S, 1), "Desconto/Acréscimo");
    Field &start = labelled(ds.addField("HRINIPRECDIA", S, 4), "Hora Inicial");
    start.setEditMask(hourMask);
    start.setDisplayWidth(4);
    Field &end = labelled(ds.addField("HRFINPRECDIA", S, 4), "Hora Final");
    end.setEditMask(hourMask);
    end.setDisplayWidth(4);
    money(ds.addField("VRPRECODIA", F), "Valor");
    labelled(ds.addField("DTINIVALPREC", D), "Início Validade");
    labelled(ds.addField("DTFINVALPREC", D), "Fim Validade");
    labelled(ds.addField("CDTIPOCONSPD", S, 2), "Tipo Consumidor");
    labelled(ds.addField("IDVISUACUPOM", S, 1), "Visualiza");
    hidden(ds.addField("NMTIPOCONS", S, 20));
    labelled(ds.addField("PRECO", F), "Preço").setDisplayFormat("###0.00");
    Field &dlv = hidden(labelled(ds.addField("VRPRECODIADLV", F), "Preço Dlv."));
    dlv.setDisplayFormat("###0.00");
    labelled(ds.addField("VRPRECODIACMD", F), "Preço Cmd").setDisplayFormat("###0.00");
    hidden(labelled(ds.addField("IDTPMODGERAL", S, 1), "Outras Mod."));
    hidden(labelled(ds.addField("IDTPMODDLV", S, 1), "Mod Delivery"));
    labelled(ds.addField("IDTPMODCMD", S, 1), "Mod Comanda");
    hidden(ds.addField("PRECODLV", F));
    hidden(ds.addField("PRECOCMD", F));
}

} // namespace prx::pricetable
