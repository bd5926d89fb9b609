#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "inforce/TfrmPrecoVigente.h"
#include "pricetable/TfrmTabePreco.h"

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

// The items page's "Preço vigente..." entry over a real server.
class PriceInForceDialogTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // The dialog asks for the item in focus at the moment, consumer type and
    // modality chosen, and shows the price, the rule that won and why; a
    // modality the item has no price for does not sell.
    void answersForTheItemInFocus();
};

void PriceInForceDialogTest::answersForTheItemInFocus()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    const QString db = m_server.databaseFile();
    const QString start = m_page.periodStart.toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    const QString end =
        m_page.periodStart.addDays(59).toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    const QString item = QStringLiteral("WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                        "DTINIVGPREC = '%1' AND CDPRODUTO = '%2' AND "
                                        "CDPRPAITABPR = '%2'")
                             .arg(start, product);
    // The period approved, the item at 10.00 with no order-pad price, and
    // two differentiated prices: 10 % off for everyone, 20 % off for
    // consumer type 01 at lunch.
    QVERIFY(test::execFixtureSql(
        db, QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = '4' WHERE CDFILIAL = '0001' AND "
                           "CDTABEPREC = '001' AND DTINIVGPREC = '%1'")
                .arg(start)));
    QVERIFY(test::execFixtureSql(db, "UPDATE ITEMPRECO SET VRPRECITEM = 10, VRPRECITEMCL = 0, "
                                     "VRPRECITEMCMD = NULL, HRINIVENPROD = NULL, "
                                     "HRFIMVENPROD = NULL " +
                                         item));
    for (const auto &[consumer, from, to, amount] :
         {std::tuple{"T", "0000", "2359", "10"}, std::tuple{"01", "1100", "1400", "20"}}) {
        QVERIFY(test::execFixtureSql(
            db, QStringLiteral("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                               "CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, "
                               "HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
                               "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
                               "VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, "
                               "IDTPMODCMD) VALUES ('0001', '001', '%1', '%2', '%2', '%3', "
                               "'T', '%4', '%5', '%1', '%6', 'P', 'D', %7, 0, 0, 'N', 'S', "
                               "'N', 'N')")
                    .arg(start, product, QLatin1StringView(consumer), QLatin1StringView(from),
                         QLatin1StringView(to), end, QLatin1StringView(amount))));
    }

    struct Shown
    {
        QString price, situation, rule, criterion, explanation;
    };
    QList<Shown> shown;
    QString shot;
    bool opened = false;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmPrecoVigente *>(window);
        if (!dialog)
            return;
        opened = true;
        dialog->dtpMomento->setDateTime(QDateTime(m_page.periodStart.addDays(1), QTime(12, 30)));
        auto ask = [&](const QString &consumer, const QString &modality) {
            dialog->cmbTipoCons->setCurrentIndex(dialog->cmbTipoCons->findData(consumer));
            dialog->cmbModalidade->setCurrentIndex(dialog->cmbModalidade->findData(modality));
            QTest::mouseClick(dialog->btnConsultar, Qt::LeftButton);
            shown.append({dialog->lblPreco->text(), dialog->lblSituacao->text(),
                          dialog->lblRegra->text(), dialog->lblCriterio->text(),
                          dialog->memExplicacao->toPlainText()});
        };
        ask("01", "G");
        test::grabScreenshot(dialog, QStringLiteral("preco_vigente.png"), &shot);
        ask("T", "G");
        ask("T", "C");
        QTest::mouseClick(dialog->btnFechar, Qt::LeftButton);
    });
    form->findChild<QAction *>(QStringLiteral("mnuPrecoVigente"))->trigger();
    QTRY_VERIFY(opened);
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].price, QStringLiteral("R$ 8,00"));
    QCOMPARE(shown[0].situation, QStringLiteral("Preço diferenciado"));
    QVERIFY2(shown[0].rule.startsWith(QStringLiteral("Todos os Dias, 11:00 às 14:00, tipo de "
                                                     "consumidor 01, desconto de 20%")),
             qPrintable(shown[0].rule));
    QVERIFY2(shown[0].criterion.startsWith(QStringLiteral("tipo de consumidor específico")),
             qPrintable(shown[0].criterion));
    QCOMPARE(shown[1].price, QStringLiteral("R$ 9,00"));
    QVERIFY2(shown[1].criterion.startsWith(QStringLiteral("única regra")),
             qPrintable(shown[1].criterion));
    QCOMPARE(shown[2].price, QStringLiteral("Não vende"));
    QCOMPARE(shown[2].situation, QStringLiteral("Não vende: sem preço para a modalidade"));
    QVERIFY2(shown[2].explanation.contains(QStringLiteral("Comanda")),
             qPrintable(shown[2].explanation));
    QVERIFY(m_ui->messages().isEmpty());
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_MAIN(PriceInForceDialogTest)
#include "tst_priceinforcedialog.moc"
