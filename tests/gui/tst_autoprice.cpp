#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "autoprice/Cli_prx51704.h"
#include "autoprice/Cli_prx51706.h"
#include "autoprice/Cli_prx51707.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "widgets/MaskEdit.h"
#include "widgets/SearchList.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TNumberEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

namespace {

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

// The price calculation and the promotion alteration, driven through their
// widgets against a real server.
class AutoPriceTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // Messages in order, the cost type's code (not its position) sent, the
    // calculated price stored and shown in the reloaded grid.
    void calculationRunsAndReloads();
    // "Todos" after a list choice checks the whole segment, not the list.
    void calculationWithAllIgnoresAnEarlierList();
    // Refusals before anything is sent; "no" keeps the dialog open.
    void calculationRefusals();
    // Products left without a price are counted in a question instead of the
    // success, and listed with their reasons on request.
    void calculationTellsSkipped_data();
    void calculationTellsSkipped();
    // The same for the automatic differentiated prices, which said nothing.
    void dayPricesTellSkipped();
    // "Todos" with a prefix: every product promoted and prefixed, grid reloaded.
    void promotionForAllWithPrefix();
    // A retry after a failed alteration neither doubles the prefix nor sends
    // products of the failed try twice.
    void promotionRetryAfterFailure();
    // The prefix lands only on products promotional once the run is over.
    void promotionPrefixFollowsTheMarks_data();
    void promotionPrefixFollowsTheMarks();
    void promotionChecks_data();
    void promotionChecks();
    // Starting an edit keeps a promotion; only an unset mark becomes "N".
    void editKeepsPromotion();

private:
    QVariant sql(const QString &query)
    {
        return test::fixtureValue(m_server.databaseFile(), query);
    }
    bool exec(const QString &statement)
    {
        return test::execFixtureSql(m_server.databaseFile(), statement);
    }
    // Names short enough to take the prefix (the combos' fill their column).
    bool shortenNames() { return exec("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 1, 40)"); }
    QString ownRows() const
    {
        return QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND CDPRODUTO = "
                              "CDPRPAITABPR AND DTINIVGPREC LIKE '%1%'")
            .arg(m_page.periodStart.toString(Qt::ISODate));
    }
    // Runs the dialog the creator opens, driving it with `drive`; the dialog
    // is closed afterwards if the drive left it open.
    template <class Dialog>
    void withDialog(void (*creator)(), const std::function<void(Dialog *)> &drive)
    {
        bool ran = false;
        test::onNextModal([&](QWidget *modal) {
            ran = true;
            QPointer<QWidget> guard(modal);
            const auto close = qScopeGuard([&] {
                if (guard && guard->isVisible())
                    guard->close();
            });
            auto *dialog = qobject_cast<Dialog *>(modal);
            QVERIFY(dialog);
            drive(dialog);
        });
        creator();
        QVERIFY(ran);
    }
    void screenshot(QWidget *dialog, const QString &name)
    {
        QString path;
        QVERIFY(test::grabScreenshot(dialog, name, &path));
        qInfo("%s", qPrintable(path));
    }
};

void AutoPriceTest::calculationRunsAndReloads()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    // A fourth cost type, so that its position (3) and its code (7) differ.
    QVERIFY(exec("INSERT INTO TIPOCUSTO VALUES (7, 'Custo Fiscal')"));
    QVERIFY(
        exec(QStringLiteral("INSERT INTO CUSTOPROD VALUES ('0001', '%1', 7, 10)").arg(product)));
    QVERIFY(exec(QStringLiteral("UPDATE PERCCUSTO SET VRPERCCUSTO = 50 WHERE CDFILIAL = '0001' "
                                "AND CDPRODUTO = '%1'")
                     .arg(product)));
    QVERIFY(exec(QStringLiteral("DELETE FROM ALIQPROD WHERE CDFILIAL = '0001' AND CDPRODUTO = '%1'")
                     .arg(product)));
    QVERIFY(exec(QStringLiteral("INSERT INTO ALIQPROD VALUES ('0001', '%1', 18)").arg(product)));
    const auto cleanup = qScopeGuard([&] {
        exec("DELETE FROM CUSTOPROD WHERE CDTIPOCUSTO = 7");
        exec("DELETE FROM TIPOCUSTO WHERE CDTIPOCUSTO = 7");
    });
    const QString conf = QStringLiteral(
        "Os registros a serem incluídos irão sobrepor os registros anteriores.Deseja prosseguir?");

    withDialog<TfrmCadAutTabePrec>(Cli_prx51704::CriaCadAutTabePrec, [&](TfrmCadAutTabePrec *d) {
        QCOMPARE(d->cmbTipoCusto->count(), 4);
        QCOMPARE(d->cmbTipoCusto->currentIndex(), 0);
        QVERIFY(d->chbImposto->isChecked());
        QVERIFY(!d->btpProduto->isEnabled());
        d->cmbTipoCusto->setCurrentIndex(3);
        QTest::mouseClick(d->rbtProdL, Qt::LeftButton);
        QVERIFY(d->btpProduto->isEnabled());
        m_ui->answerList(prx::listText({product}));
        QTest::mouseClick(d->btpProduto, Qt::LeftButton);
        QCOMPARE(d->cdsProduto->recordCount(),
                 sql("SELECT COUNT(*) FROM PRODSEGMER WHERE CDSEGMER = '00001'").toInt());
        screenshot(d, QStringLiteral("autoprice_calcula_preco.png"));
        m_ui->answerQuestion(MsgYes, conf);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->texts(),
             (QStringList{conf, QStringLiteral("O cálculo do preço foi realizado com sucesso.")}));
    QVERIFY(m_ui->busyTexts().indexOf(QStringLiteral("Verificando percentual do produto...")) <
            m_ui->busyTexts().indexOf(QStringLiteral("Calculando preço no servidor...")));
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("SetCalcPreco")).value(7).toInt(), 7);
    QCOMPARE(m_page.stored("VRCUSTITEM", product).toDouble(), 18.29);
    QVERIFY(form->boCalcPreco());
    QVERIFY(!Cli_prx51704::boStCriado);
    // The grid holds what was calculated, so the row can be edited from it.
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", product));
    QCOMPARE(form->cdsItemPreco->fieldByName(u"VRCUSTITEM").asFloat(), 18.29);
}

void AutoPriceTest::calculationWithAllIgnoresAnEarlierList()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QString listed = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    const QString other =
        sql("SELECT MAX(S.CDPRODUTO) FROM PRODSEGMER S WHERE S.CDSEGMER = '00001'").toString();
    QVERIFY(listed != other);
    const QVariant percent =
        sql(QStringLiteral("SELECT VRPERCCUSTO FROM PERCCUSTO WHERE CDFILIAL = '0001' AND "
                           "CDPRODUTO = '%1'")
                .arg(other));
    QVERIFY(exec(QStringLiteral("DELETE FROM PERCCUSTO WHERE CDFILIAL = '0001' AND "
                                "CDPRODUTO = '%1'")
                     .arg(other)));
    const auto restore = qScopeGuard([&] {
        exec(QStringLiteral("INSERT INTO PERCCUSTO VALUES ('0001', '%1', %2)")
                 .arg(other, percent.toString()));
    });
    const int calculations = m_proxy.callCount(QStringLiteral("SetCalcPreco"));

    withDialog<TfrmCadAutTabePrec>(Cli_prx51704::CriaCadAutTabePrec, [&](TfrmCadAutTabePrec *d) {
        QTest::mouseClick(d->rbtProdL, Qt::LeftButton);
        m_ui->answerList(prx::listText({listed}));
        QTest::mouseClick(d->btpProduto, Qt::LeftButton);
        QTest::mouseClick(d->rbtProdT, Qt::LeftButton);
        QVERIFY(!d->btpProduto->isEnabled());
        m_ui->answerQuestion(MsgYes);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("GetPercProd")).value(1).toString(), QString());
    QCOMPARE(m_ui->errors(),
             QStringList{QStringLiteral(
                 "Operação bloqueada. Existem produtos que foram selecionados que não possuem "
                 "percentual para cálculo do custo cadastrado na tela Parâmetros de Venda.")});
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetCalcPreco")), calculations);
    QVERIFY(!Cli_prx51704::boStCriado); // a confirmed run closes the dialog, also on failure
    QVERIFY(form->boCalcPreco());
}

void AutoPriceTest::calculationRefusals()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    m_proxy.clearCalls();
    withDialog<TfrmCadAutTabePrec>(Cli_prx51704::CriaCadAutTabePrec, [&](TfrmCadAutTabePrec *d) {
        QTest::mouseClick(d->rbtProdL, Qt::LeftButton);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
        QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Produto deve ser informado.")});
        QTest::mouseClick(d->rbtProdT, Qt::LeftButton);
        m_ui->answerQuestion(MsgNo);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
        QVERIFY(d->isVisible());
    });
    QCOMPARE(m_ui->messages().size(), 2);
    QVERIFY(!m_proxy.calls().contains(QStringLiteral("GetPercProd")));
    QVERIFY(!form->boCalcPreco());
}

void AutoPriceTest::calculationTellsSkipped_data()
{
    QTest::addColumn<int>("skipped");
    QTest::addColumn<bool>("seeList");
    QTest::newRow("one, list seen") << 1 << true;
    QTest::newRow("two, list seen") << 2 << true;
    QTest::newRow("two, list declined") << 2 << false;
}

void AutoPriceTest::calculationTellsSkipped()
{
    QFETCH(int, skipped);
    QFETCH(bool, seeList);
    QVERIFY(m_page.open());
    auto taxed = [&](int n) {
        return sql(QStringLiteral("SELECT A.CDPRODUTO FROM ALIQPROD A JOIN PRODSEGMER S ON "
                                  "S.CDPRODUTO = A.CDPRODUTO AND S.CDSEGMER = '00001' WHERE "
                                  "A.CDFILIAL = '0001' ORDER BY 1 LIMIT 1 OFFSET %1")
                       .arg(n))
            .toString();
    };
    const QString priced = taxed(0), untaxed = taxed(1), uncosted = taxed(2);
    const QString tax = sql(QStringLiteral("SELECT VRALIQPROD FROM ALIQPROD WHERE CDFILIAL = "
                                           "'0001' AND CDPRODUTO = '%1'")
                                .arg(untaxed))
                            .toString();
    QVERIFY(exec(QStringLiteral("CREATE TABLE SAVEDCOSTS AS SELECT * FROM CUSTOPROD WHERE "
                                "CDFILIAL = '0001' AND CDPRODUTO = '%1'")
                     .arg(uncosted)));
    const auto restore = qScopeGuard([&] {
        exec(QStringLiteral("INSERT INTO ALIQPROD VALUES ('0001', '%1', %2)").arg(untaxed, tax));
        exec("INSERT INTO CUSTOPROD SELECT * FROM SAVEDCOSTS");
        exec("DROP TABLE SAVEDCOSTS");
    });
    QVERIFY(exec(QStringLiteral("DELETE FROM ALIQPROD WHERE CDFILIAL = '0001' AND CDPRODUTO = '%1'")
                     .arg(untaxed)));
    QVERIFY(exec(QStringLiteral("DELETE FROM CUSTOPROD WHERE CDFILIAL = '0001' AND "
                                "CDPRODUTO = '%1'")
                     .arg(uncosted)));
    const QStringList listed =
        skipped == 1 ? QStringList{priced, untaxed} : QStringList{priced, untaxed, uncosted};
    const QString question =
        skipped == 1
            ? QStringLiteral("1 produto não recebeu preço calculado. Deseja ver a lista?")
            : QStringLiteral("2 produtos não receberam preço calculado. Deseja ver a lista?");

    withDialog<TfrmCadAutTabePrec>(Cli_prx51704::CriaCadAutTabePrec, [&](TfrmCadAutTabePrec *d) {
        QTest::mouseClick(d->rbtProdL, Qt::LeftButton);
        m_ui->answerList(prx::listText(listed));
        QTest::mouseClick(d->btpProduto, Qt::LeftButton);
        m_ui->answerQuestion(MsgYes);
        m_ui->answerQuestion(seeList ? MsgYes : MsgNo, question);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->texts().mid(1), QStringList{question}); // no success message
    QCOMPARE(m_ui->previewFiles().size(), seeList ? 1 : 0);
    QVERIFY(!m_page.stored("VRCUSTITEM", priced).isNull());
    if (!seeList)
        return;
    const QString text = pdfText(m_ui->previewFiles().first());
    auto name = [&](const QString &p) {
        return sql(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = '%1'").arg(p))
            .toString();
    };
    QVERIFY2(text.contains(QStringLiteral("Produtos sem preço calculado")), qPrintable(text));
    QVERIFY2(text.contains(name(untaxed)) && text.contains(u"sem alíquota de imposto"),
             qPrintable(text));
    QCOMPARE(text.contains(name(uncosted)), skipped == 2);
    QCOMPARE(text.contains(u"sem custo do tipo escolhido"), skipped == 2);
    QVERIFY(!text.contains(name(priced)));
    QVERIFY2(text.contains(QStringLiteral("Total de produtos: %1").arg(skipped)), qPrintable(text));
}

void AutoPriceTest::dayPricesTellSkipped()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    auto priced = [&](const char *order) {
        return sql(QStringLiteral("SELECT CDPRODUTO FROM ITEMPRECO WHERE %1 AND VRPRECITEM > 10 "
                                  "ORDER BY CDPRODUTO %2 LIMIT 1")
                       .arg(ownRows(), QLatin1String(order)))
            .toString();
    };
    const QString fine = priced("ASC"), cheap = priced("DESC");
    QVERIFY(fine != cheap);
    const QString cheapPrice =
        sql(QStringLiteral("SELECT VRPRECITEM FROM ITEMPRECO WHERE %1 AND CDPRODUTO = '%2'")
                .arg(ownRows(), cheap))
            .toString();
    const auto restore = qScopeGuard([&] {
        exec("DELETE FROM ITEMPRECODIA WHERE HRINIPRECDIA = '0700' AND HRFINPRECDIA = '0701'");
        exec(QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = %1 WHERE %2 AND CDPRODUTO = '%3'")
                 .arg(cheapPrice, ownRows(), cheap));
    });
    QVERIFY(exec(QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = 1, VRPRECITEMCL = 0 WHERE %1 "
                                "AND CDPRODUTO = '%2'")
                     .arg(ownRows(), cheap)));
    const QString question =
        QStringLiteral("1 produto não recebeu preço diferenciado. Deseja ver a lista?");
    withDialog<TfrmCadAutPrecoDeferenciado>(
        Cli_prx51707::CriaCadAutPrecoDeferenciado, [&](TfrmCadAutPrecoDeferenciado *d) {
            QTest::mouseClick(d->rbtLista, Qt::LeftButton);
            m_ui->answerList(prx::listText({fine, cheap}));
            QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
            d->chbSegunda->setChecked(true);
            d->rdgValPerValor->setChecked(true);
            d->numValPer->setValue(5);
            d->medHorarioDe->setText(QStringLiteral("07:00"));
            d->medHorarioAte->setText(QStringLiteral("07:01"));
            d->depValidadeDe->setDate(form->cdsTabeVendDTINIVGPREC->asDateTime().date());
            d->depValidadeAte->setDate(form->cdsTabeVendDTFINVGPREC->asDateTime().date());
            m_ui->answerQuestion(MsgYes);
            m_ui->answerQuestion(MsgYes, question);
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->texts().mid(1), QStringList{question});
    QVERIFY(m_ui->busyBalanced());
    QVERIFY(form->cdsPrecoHora->isActive()); // reloaded before the question
    QCOMPARE(sql("SELECT COUNT(*) FROM ITEMPRECODIA WHERE HRINIPRECDIA = '0700' AND "
                 "HRFINPRECDIA = '0701'")
                 .toInt(),
             1);
    QCOMPARE(m_ui->previewFiles().size(), 1);
    const QString text = pdfText(m_ui->previewFiles().first());
    QVERIFY2(text.contains(QStringLiteral("Produtos sem preço diferenciado")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("preço diferenciado seria zero ou negativo")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Total de produtos: 1")), qPrintable(text));
}

void AutoPriceTest::promotionForAllWithPrefix()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(exec("UPDATE ITEMPRECO SET IDPRODPROMOC = 'N' WHERE " + ownRows()));
    QVERIFY(shortenNames());
    const int rows = sql("SELECT COUNT(*) FROM ITEMPRECO WHERE " + ownRows()).toInt();
    const auto restore = qScopeGuard([&] {
        exec("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 7) WHERE NMPRODUTO LIKE 'PROMO %'");
    });
    withDialog<TfrmCadAutPromocao>(Cli_prx51706::CriaCadAutPromocao, [&](TfrmCadAutPromocao *d) {
        QVERIFY(!d->edtPrefixo->isEnabled());
        QVERIFY(!d->btnListaProd->isEnabled());
        d->chbPrefixo->click();
        QVERIFY(d->edtPrefixo->isEnabled());
        QTest::keyClicks(d->edtPrefixo, QStringLiteral("PROMO "));
        screenshot(d, QStringLiteral("autoprice_alteracao_automatica.png"));
        m_ui->answerQuestion(MsgYes,
                             QStringLiteral("Confirma alteração dos produtos selecionados?"));
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->texts().value(1), QStringLiteral("Alteração realizada com sucesso."));
    const QVariantList prefixArgs = m_proxy.lastArgs(QStringLiteral("SetAddPrefixo"));
    QCOMPARE(prefixArgs.mid(0, 6), (QVariantList{"PROMO ", "", "", "", "T", "0001"}));
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("SetUpdItemPrecoAlt")).value(4).toString(),
             QStringLiteral("T"));
    QCOMPARE(
        sql("SELECT COUNT(*) FROM ITEMPRECO WHERE IDPRODPROMOC = 'S' AND " + ownRows()).toInt(),
        rows);
    QCOMPARE(sql("SELECT COUNT(*) FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                 "WHERE P.NMPRODUTO LIKE 'PROMO %' AND I." +
                 ownRows().replace(QStringLiteral(" AND "), QStringLiteral(" AND I.")))
                 .toInt(),
             rows);
    // The screen shows the promotion without a refresh of its own.
    QVERIFY(form->cdsItemPreco->locate(u"IDPRODPROMOC", QStringLiteral("S")));
}

void AutoPriceTest::promotionRetryAfterFailure()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(exec("UPDATE ITEMPRECO SET IDPRODPROMOC = 'N' WHERE " + ownRows()));
    QVERIFY(shortenNames());
    const QString a = sql("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE " + ownRows()).toString();
    const QString b = sql("SELECT MAX(CDPRODUTO) FROM ITEMPRECO WHERE " + ownRows()).toString();
    const QString nameA =
        sql(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = '%1'").arg(a))
            .toString();
    const auto restore = qScopeGuard([&] {
        exec("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 7) WHERE NMPRODUTO LIKE 'PROMO %'");
    });
    m_proxy.failMethod(QStringLiteral("SetUpdItemPrecoAlt"), QStringLiteral("Falha simulada."));
    withDialog<TfrmCadAutPromocao>(Cli_prx51706::CriaCadAutPromocao, [&](TfrmCadAutPromocao *d) {
        QTest::mouseClick(d->rbtLista, Qt::LeftButton);
        m_ui->answerList(prx::listText({a, b}));
        QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
        d->chbPrefixo->click();
        QTest::keyClicks(d->edtPrefixo, QStringLiteral("PROMO "));
        m_ui->answerQuestion(MsgYes);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
        QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Falha simulada.")});
        QVERIFY(d->isVisible());
        m_proxy.clearFailures();
        m_ui->answerQuestion(MsgYes);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_ui->errors().size(), 1);
    QCOMPARE(sql(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = '%1'").arg(a))
                 .toString(),
             "PROMO " + nameA);
    const QVariantList args = m_proxy.lastArgs(QStringLiteral("SetUpdItemPrecoAlt"));
    const DataPacketPtr sent = args.value(5).value<DataPacketPtr>();
    QVERIFY(sent);
    QCOMPARE(sent->rowCount(), 2);
    QCOMPARE(args.value(6).toBool(), true);
    QCOMPARE(
        sql("SELECT COUNT(*) FROM ITEMPRECO WHERE IDPRODPROMOC = 'S' AND " + ownRows()).toInt(), 2);
}

void AutoPriceTest::promotionPrefixFollowsTheMarks_data()
{
    QTest::addColumn<bool>("putIn"); // else taken out
    QTest::addColumn<bool>("add");   // else cleared
    QTest::newRow("put in, prefix added") << true << true;
    QTest::newRow("taken out, prefix added") << false << true;
    QTest::newRow("taken out, prefix cleared") << false << false;
}

void AutoPriceTest::promotionPrefixFollowsTheMarks()
{
    QFETCH(bool, putIn);
    QFETCH(bool, add);
    QVERIFY(m_page.open());
    QVERIFY(shortenNames());
    const QString a = sql("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE " + ownRows()).toString();
    const QString b = sql("SELECT MAX(CDPRODUTO) FROM ITEMPRECO WHERE " + ownRows()).toString();
    auto name = [&](const QString &p) {
        return sql(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = '%1'").arg(p))
            .toString();
    };
    const QString nameA = name(a), nameB = name(b);
    const auto restore = qScopeGuard([&] {
        exec("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 7) WHERE NMPRODUTO LIKE 'PROMO %'");
    });
    // Before the run the products hold the opposite mark, and a name to
    // clear carries the prefix.
    QVERIFY(exec(
        QStringLiteral("UPDATE ITEMPRECO SET IDPRODPROMOC = '%1' WHERE ").arg(putIn ? "N" : "S") +
        ownRows()));
    if (!add) {
        QVERIFY(exec(QStringLiteral("UPDATE PRODUTO SET NMPRODUTO = 'PROMO ' || NMPRODUTO WHERE "
                                    "CDPRODUTO IN ('%1', '%2')")
                         .arg(a, b)));
    }
    withDialog<TfrmCadAutPromocao>(Cli_prx51706::CriaCadAutPromocao, [&](TfrmCadAutPromocao *d) {
        QTest::mouseClick(d->rbtLista, Qt::LeftButton);
        m_ui->answerList(prx::listText({a, b}));
        QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
        QTest::mouseClick(putIn ? d->rdgPromocaoColocar : d->rdgPromocaoRetirar, Qt::LeftButton);
        d->chbPrefixo->click();
        QTest::mouseClick(add ? d->rbtAddPrefixo : d->rbtDelPrefixo, Qt::LeftButton);
        QTest::keyClicks(d->edtPrefixo, QStringLiteral("PROMO "));
        m_ui->answerQuestion(MsgYes);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    QCOMPARE(m_ui->errors(), QStringList());
    const QString prefix = putIn && add ? QStringLiteral("PROMO ") : QString();
    QCOMPARE(name(a), prefix + nameA);
    QCOMPARE(name(b), prefix + nameB);
    QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO WHERE IDPRODPROMOC = 'S' AND "
                                "CDPRODUTO IN ('%1', '%2') AND ")
                     .arg(a, b) +
                 ownRows())
                 .toInt(),
             putIn ? 2 : 0);
}

void AutoPriceTest::promotionChecks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("from"); // FIRST / LAST: the period's first or last product
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("prefix"); // null: no prefix step
    QTest::addColumn<bool>("asked");     // the question comes before the refusal
    QTest::addColumn<QString>("refusal");
    QTest::newRow("list without search")
        << "lista"
        << ""
        << "" << QString() << false << "Produto deve ser informado.";
    QTest::newRow("empty interval start")
        << "intervalo"
        << ""
        << "LAST" << QString() << false << "Produto inicial deve ser informado.";
    QTest::newRow("empty interval end")
        << "intervalo"
        << "FIRST"
        << "" << QString() << false << "Produto final deve ser informado.";
    QTest::newRow("unknown code") << "intervalo"
                                  << "99999999"
                                  << "LAST" << QString() << false << "Produto não cadastrado.";
    QTest::newRow("reversed interval")
        << "intervalo"
        << "LAST"
        << "FIRST" << QString() << true
        << "Produto inicial deve ser menor ou igual que produto final.";
    QTest::newRow("empty prefix") << "todos"
                                  << ""
                                  << "" << QString("") << true << "Prefixo deve ser informado.";
}

void AutoPriceTest::promotionChecks()
{
    QFETCH(QString, mode);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, prefix);
    QFETCH(bool, asked);
    QFETCH(QString, refusal);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QString tree = QStringLiteral(
        "SELECT %1(P.CDARVPROD) FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
        "WHERE I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND I.CDPRODUTO = I.CDPRPAITABPR "
        "AND I.DTINIVGPREC LIKE '%2%'");
    auto code = [&](const QString &which) {
        if (which == u"FIRST" || which == u"LAST")
            return sql(tree.arg(which == u"FIRST" ? "MIN" : "MAX",
                                m_page.periodStart.toString(Qt::ISODate)))
                .toString();
        return which;
    };
    m_proxy.clearCalls();
    withDialog<TfrmCadAutPromocao>(Cli_prx51706::CriaCadAutPromocao, [&](TfrmCadAutPromocao *d) {
        QRadioButton *button = mode == u"lista"       ? d->rbtLista
                               : mode == u"intervalo" ? d->rbtIntervalo
                                                      : d->rbtTodos;
        QTest::mouseClick(button, Qt::LeftButton);
        d->medProdIni->setText(code(from));
        d->medProdFim->setText(code(to));
        if (!prefix.isNull())
            d->chbPrefixo->click();
        if (asked)
            m_ui->answerQuestion(MsgYes);
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
        QVERIFY(d->isVisible());
    });
    QCOMPARE(m_ui->errors(), QStringList{refusal});
    QCOMPARE(m_ui->messages().size(), asked ? 2 : 1);
    for (const char *method : {"SetAddPrefixo", "SetDelPrefixo", "SetUpdItemPrecoAlt"})
        QVERIFY(!m_proxy.calls().contains(QString::fromLatin1(method)));
}

void AutoPriceTest::editKeepsPromotion()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    QVERIFY(exec(QStringLiteral("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE CDPRODUTO = '%1' "
                                "AND ")
                     .arg(product) +
                 ownRows()));
    form->loadItemPreco();
    QVERIFY(items->locate(u"CDPRODUTO", product));
    items->edit();
    QCOMPARE(items->fieldByName(u"IDPRODPROMOC").asString(), QStringLiteral("S"));
    items->cancel();
    for (int r = 0; r < items->recordCount(); ++r) {
        items->moveTo(r);
        if (items->fieldByName(u"IDPRODPROMOC").isNull()) {
            items->edit();
            QCOMPARE(items->fieldByName(u"IDPRODPROMOC").asString(), QStringLiteral("N"));
            items->cancel();
            break;
        }
    }
}

QTEST_MAIN(AutoPriceTest)
#include "tst_autoprice.moc"
