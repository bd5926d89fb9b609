// The checks of the export dialog and the lists it offers.
#include "Cli_prx51703.h"

#include "TransferCalls.h"

#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "services/HostUi.h"
#include "services/LocalQuery.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace prx {

void TfrmImportaTabela::fail(QWidget *focus, const QString &key)
{
    if (focus->isEnabled())
        focus->setFocus(Qt::OtherFocusReason);
    MensErro(msgPadrao.Msg(key), true);
    abortSilently(); // MensErro abandons already; this tells the compiler
}

QString TfrmImportaTabela::normalise(QLineEdit *edit, int width)
{
    const QString code = Ajusta(edit->text(), width);
    if (edit->text() != code)
        edit->setText(code);
    return code;
}

void TfrmImportaTabela::openBranches(const QString &code, const QString &all)
{
    qryFilial->close();
    qryFilial->setParam(QStringLiteral("P_CDFILIAL"), code.isNull() ? QVariant() : code);
    qryFilial->setParam(QStringLiteral("P_TCDFILIAL"), all);
    qryFilial->open();
}

void TfrmImportaTabela::openTables(const QString &branch, const QString &code, const QString &all)
{
    qryTabela->close();
    qryTabela->setParam(QStringLiteral("P_CDFILIAL"), branch);
    qryTabela->setParam(QStringLiteral("P_CDTABEPREC"), code.isNull() ? QVariant() : code);
    qryTabela->setParam(QStringLiteral("P_TCDTABEPREC"), all.isNull() ? QVariant() : all);
    qryTabela->open();
}

void TfrmImportaTabela::Vd_FilialOrig(bool mandatory)
{
    if (EmptyString(edtFilialOrig->text())) {
        if (mandatory)
            fail(edtFilialOrig, QStringLiteral("FILI_INF"));
        return;
    }
    openBranches(normalise(edtFilialOrig, 4), QStringLiteral("N"));
    if (qryFilial->isEmpty())
        fail(edtFilialOrig, QStringLiteral("FILI_N_CAD"));
    edtNmFilialOrig->setText(qryFilial->fieldByName(u"NMFILIAL").asString());
}

void TfrmImportaTabela::Vd_FilialDest(bool mandatory)
{
    if (EmptyString(edtFilialDest->text())) {
        if (mandatory)
            fail(edtFilialDest, QStringLiteral("Fili_Des_Inf"));
        return;
    }
    openBranches(normalise(edtFilialDest, 4), QStringLiteral("N"));
    if (qryFilial->isEmpty())
        fail(edtFilialDest, QStringLiteral("FILI_N_CAD"));
    edtNmFilialDest->setText(qryFilial->fieldByName(u"NMFILIAL").asString());
}

void TfrmImportaTabela::Vd_TabelaOrig(bool mandatory)
{
    if (EmptyString(edtTabelaOrig->text())) {
        if (mandatory)
            fail(edtTabelaOrig, QStringLiteral("TAB_NULL"));
        return;
    }
    openTables(edtFilialOrig->text(), normalise(edtTabelaOrig, 3), QString());
    if (qryTabela->isEmpty())
        fail(edtTabelaOrig, QStringLiteral("TAB_INV"));
    edtNmTabelaOrig->setText(qryTabela->fieldByName(u"NMTABEPREC").asString());
}

void TfrmImportaTabela::Vd_TabelaDest(bool mandatory)
{
    if (EmptyString(edtTabelaDest->text())) {
        if (mandatory)
            fail(edtTabelaDest, QStringLiteral("TABDEST_NULL"));
        return;
    }
    openTables(edtFilialDest->text(), normalise(edtTabelaDest, 3), QString());
    if (qryTabela->isEmpty())
        fail(edtTabelaDest, QStringLiteral("TAB_INV"));
    edtNmTabelaDest->setText(qryTabela->fieldByName(u"NMTABEPREC").asString());
}

void TfrmImportaTabela::Vd_TabelaDestNova(bool mandatory)
{
    if (EmptyString(edtTabelaDest->text())) {
        if (mandatory)
            fail(edtTabelaDest, QStringLiteral("TABDEST_NULL"));
        return;
    }
    const QString code = normalise(edtTabelaDest, 3);
    qryPesqTabela->close();
    qryPesqTabela->setParam(QStringLiteral("P_CDFILIAL"), edtFilialDest->text());
    qryPesqTabela->setParam(QStringLiteral("P_CDTABEPREC"), code);
    qryPesqTabela->open();
    if (!qryPesqTabela->isEmpty())
        fail(edtTabelaDest, QStringLiteral("COD_INV"));
}

void TfrmImportaTabela::Vd_NomeTabela()
{
    if (EmptyString(edtNmTabelaDest->text()))
        fail(edtNmTabelaDest, QStringLiteral("NOME_TAB_NULL"));
}

void TfrmImportaTabela::Vd_Produto()
{
    if (EmptyString(edtFilialOrig->text()))
        fail(edtFilialOrig, QStringLiteral("FILI_INF"));
    if (EmptyString(edtTabelaOrig->text()))
        fail(edtTabelaOrig, QStringLiteral("TAB_NULL"));
    if (EmptyString(edtFilialDest->text()))
        fail(edtFilialDest, QStringLiteral("Fili_Des_Inf"));
    if (EmptyString(edtTabelaDest->text()))
        fail(edtTabelaDest, QStringLiteral("TABDEST_NULL"));
}

void TfrmImportaTabela::loadProducts()
{
    BusyScope busy(6);
    transfer::loadPayload(cdsProduto,
                          transfer::callServer(netImportaTabela, QStringLiteral("getExpProduto"),
                                               {edtFilialOrig->text(), edtTabelaOrig->text()}));
}

void TfrmImportaTabela::pickProducts(QString *list)
{
    HostUi::instance().pesquisaLista(*dtsProduto, QStringLiteral("CDPRODUTO"),
                                     msgPadrao.Msg(QStringLiteral("PROD")), list);
}

void TfrmImportaTabela::grbProdEnter()
{
    Vd_Produto();
    loadProducts();
}

void TfrmImportaTabela::btpProdutoClick()
{
    Vd_Produto();
    if (cdsProduto->isEmpty())
        fail(rbtListaProd, QStringLiteral("Prod_N_Cad"));
    pickProducts(&stListaProd);
}

void TfrmImportaTabela::btnProdutoClick()
{
    Vd_FilialOrig(true);
    Vd_TabelaOrig(true);
    loadProducts();
    if (cdsProduto->isEmpty())
        MensErro(msgPadrao.Msg(QStringLiteral("Prod_N_Cad")), true);
    pickProducts(&stListaProduto);
}

void TfrmImportaTabela::btnFilialClick()
{
    Vd_FilialOrig(true);
    qryFilialDest->close();
    qryFilialDest->setParam(QStringLiteral("P_CDFILIAL"), edtFilialOrig->text());
    qryFilialDest->open();
    HostUi::instance().pesquisaLista(*dtsFilialDest, QStringLiteral("CDFILIAL"),
                                     msgPadrao.Msg(QStringLiteral("FILIAL")), &stListaFilial);
}

} // namespace prx
