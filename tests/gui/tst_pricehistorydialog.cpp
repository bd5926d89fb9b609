#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "dataset/ClientDataSet.h"
#include "history/TfrmHistPreco.h"
#include "net/NetConnection.h"
#include "pricetable/TfrmTabePreco.h"
#include "widgets/DBGrid.h"
#include "widgets/DBGridColumn.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

// The items page's "Histórico de preços..." entry over a real server.
class PriceHistoryDialogTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // A price typed on the items page is recorded under the host's user and
    // shows first in the item's history, old and new value in Brazilian
    // numbers; narrowing to the period in focus keeps only its rows.
    void showsWhoChangedTheItem();
};

void PriceHistoryDialogTest::showsWhoChangedTheItem()
{
    NetConnection::setDefaultUserName(QStringLiteral("carla.souza"));
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    ClientDataSet *items = form->cdsItemPreco;
    const double before = items->fieldByName(u"VRPRECITEM").asFloat();
    // A change of the same product in another period, made behind the server's back.
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    QVERIFY(test::execFixtureSql(
        m_server.databaseFile(),
        QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = VRPRECITEM + 1 WHERE CDPRODUTO = '%1' "
                       "AND CDPRPAITABPR = '%1' AND VRPRECITEM IS NOT NULL AND "
                       "substr(DTINIVGPREC, 1, 10) <> '%2'")
            .arg(product, m_page.periodStart.toString(Qt::ISODate))));
    QVERIFY(test::countFixtureRows(m_server.databaseFile(),
                                   QStringLiteral("SELECT 1 FROM HISTPRECO")) > 0);
    const double typed = before == 12.34 ? 43.21 : 12.34;

    // The price typed into its cell as a user does, and confirmed.
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QTest::keyClick(form->dbsItemPreco, Qt::Key_F2);
    QVERIFY(form->dbsItemPreco->editorActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(),
                     QString::number(typed, 'f', 2).replace(u'.', u','));
    form->dbsItemPreco->commitEditor();
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());

    struct Row
    {
        QString when, user, operation, change, kind, period, field, oldValue, newValue;
    };
    QList<Row> all, inPeriod;
    QStringList titles;
    QString total, shot;
    bool opened = false;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmHistPreco *>(window);
        if (!dialog)
            return;
        opened = true;
        DBGrid *grid = dialog->dbgHistorico;
        for (int c = 0; c < grid->columnCount(); ++c)
            titles << grid->column(c).title();
        auto rows = [grid] {
            QList<Row> out;
            for (int r = 0; r < grid->dataSet()->recordCount(); ++r) {
                auto t = [&](const char *f) {
                    return grid->displayTextAt(r, QString::fromLatin1(f));
                };
                out.append({t("DTHISTPRECO"), t("NMUSUARIO"), t("NMOPERACAO"), t("DSALTERACAO"),
                            t("DSREGISTRO"), t("DTINIVGPREC"), t("DSCAMPO"), t("VRANTERIOR"),
                            t("VRNOVO")});
            }
            return out;
        };
        all = rows();
        total = dialog->lblTotal->text();
        test::grabScreenshot(dialog, QStringLiteral("historico_precos.png"), &shot);
        QTest::mouseClick(dialog->chbTodasVigencias, Qt::LeftButton);
        inPeriod = rows();
        QTest::mouseClick(dialog->btnFechar, Qt::LeftButton);
    });
    form->findChild<QAction *>(QStringLiteral("mnuHistPreco"))->trigger();
    QTRY_VERIFY2(opened, qPrintable(m_ui->errors().join(u'\n')));
    QCOMPARE(m_ui->errors(), QStringList());

    QCOMPARE(titles,
             (QStringList{"Data/Hora", "Usuário", "Operação", "Alteração", "Registro", "Vigência",
                          "Produto", "Preço diferenciado", "Campo", "Anterior", "Novo"}));
    QVERIFY(!all.isEmpty());
    const Row &newest = all.first();
    QCOMPARE(newest.user, QStringLiteral("carla.souza"));
    QCOMPARE(newest.operation, QStringLiteral("Digitação de preços"));
    QCOMPARE(newest.change, QStringLiteral("Alteração"));
    QCOMPARE(newest.kind, QStringLiteral("Item"));
    QCOMPARE(newest.field, QStringLiteral("Preço"));
    QCOMPARE(newest.oldValue,
             QLocale(QLocale::Portuguese, QLocale::Brazil).toString(before, 'f', 2));
    QCOMPARE(newest.newValue,
             QLocale(QLocale::Portuguese, QLocale::Brazil).toString(typed, 'f', 2));
    QCOMPARE(newest.period, m_page.periodStart.toString(u"dd/MM/yyyy"));
    const QDateTime when = QDateTime::fromString(newest.when, u"dd/MM/yyyy HH:mm:ss");
    QVERIFY2(qAbs(when.secsTo(QDateTime::currentDateTime())) < 300, qPrintable(newest.when));
    QCOMPARE(total, QStringLiteral("%1 alterações").arg(all.size()));
    // The other period's change is listed too, until the list is narrowed.
    QVERIFY(!inPeriod.isEmpty() && inPeriod.size() < all.size());
    for (const Row &r : inPeriod)
        QCOMPARE(r.period, newest.period);
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_MAIN(PriceHistoryDialogTest)
#include "tst_pricehistorydialog.moc"
