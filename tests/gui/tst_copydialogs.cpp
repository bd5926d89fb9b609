#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "autoprice/Cli_prx51707.h"
#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "report/ReportCatalog.h"
#include "services/EditMask.h"
#include "services/HostState.h"
#include "transfer/Cli_prx51709.h"
#include "transfer/Cli_prx51710.h"
#include "widgets/MaskEdit.h"
#include "widgets/SearchList.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TNumberEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

namespace {

// Runs `action` on the next modal window of type T (a dialog opened from
// inside another modal one).
template <class T> void onModalOf(const std::function<void(T *)> &action)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        action(modal);
        if (modal->isVisible())
            modal->close();
    });
    poll->start();
}

// The text of a PDF as laid out, or in reading order (a cell's wrapped lines
// together) with `raw`.
QString pdfText(const QString &path, bool raw = false)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {raw ? QStringLiteral("-raw") : QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

// The automatic differentiated prices, the copy of differentiated prices and
// the copy's inconsistency report, driven through their widgets against a
// real server.
class CopyDialogsTest : public ItemsPageTest
{
    Q_OBJECT

public:
    CopyDialogsTest();

private slots:
    // A failed generation followed by a retry with another list sends only
    // the products of the retry; the rows land and the grids reload.
    void generationRetrySendsOnlyTheNewList();
    // The checks in their order, each with its message.
    void generationChecks_data();
    void generationChecks();
    // Coming back to the front (a search or message box closed) keeps the
    // user's hours and list.
    void activationRunsOnce();
    // Opened without a period or an item, the creators refuse clearly.
    void creatorsNeedThePeriod();
    // Copy: checks, the base never a target, the failures reported in a
    // report whose PDF holds the masked codes and the full names.
    void copyReportsFailures();
    // The report on its own: header on every page, empty report, missing
    // definition and another report chosen.
    void reportPages();
    void reportRefusals();

private:
    QVariant sql(const QString &query)
    {
        return test::fixtureValue(m_server.databaseFile(), query);
    }
    bool exec(const QString &statement)
    {
        return test::execFixtureSql(m_server.databaseFile(), statement);
    }
    QString period() const
    {
        return QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC LIKE '%1%'")
            .arg(m_page.periodStart.toString(Qt::ISODate));
    }
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
    void fillGeneration(TfrmCadAutPrecoDeferenciado *d)
    {
        d->chbSegunda->setChecked(true);
        d->rdgValPerPercentual->setChecked(true);
        d->numValPer->setValue(10);
        TfrmTabePreco &screen = *Cli_prx51700::frmTabePreco;
        d->depValidadeDe->setDate(screen.cdsTabeVendDTINIVGPREC->asDateTime().date());
        d->depValidadeAte->setDate(screen.cdsTabeVendDTFINVGPREC->asDateTime().date());
    }
    static void screenshot(QWidget *dialog, const QString &name)
    {
        QString path;
        QVERIFY(test::grabScreenshot(dialog, name, &path));
        qInfo("%s", qPrintable(path));
    }
    void showReport(const DataPacketPtr &errors, const std::function<void()> &inside = {});

    QTemporaryDir m_reports;
};

// The reports folder holds the module's definition of the copy report.
CopyDialogsTest::CopyDialogsTest()
{
    QFile::copy(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../module/forms/relatorios/PRX517.rel"),
                m_reports.filePath(QStringLiteral("PRX517.rel")));
    report::setReportsFolder(m_reports.path());
}

void CopyDialogsTest::generationRetrySendsOnlyTheNewList()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QString first = sql("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE " + period() +
                              " AND CDPRODUTO = CDPRPAITABPR AND VRPRECITEM > 1")
                              .toString();
    const QString second = sql("SELECT MAX(CDPRODUTO) FROM ITEMPRECO WHERE " + period() +
                               " AND CDPRODUTO = CDPRPAITABPR AND VRPRECITEM > 1")
                               .toString();
    QVERIFY(first != second);
    const QString rowsOf = "SELECT COUNT(*) FROM ITEMPRECODIA WHERE " + period() +
                           " AND CDPRODUTO = '%1' AND HRINIPRECDIA = '0001' AND "
                           "HRFINPRECDIA = '2359' AND NRDIASEMANPR = '2'";
    m_proxy.failMethod(QStringLiteral("SetPrecDif"), QStringLiteral("Falha simulada."));
    HostState::instance().clearChangedTables();
    withDialog<TfrmCadAutPrecoDeferenciado>(
        Cli_prx51707::CriaCadAutPrecoDeferenciado, [&](TfrmCadAutPrecoDeferenciado *d) {
            QCOMPARE(d->medHorarioDe->text(), QStringLiteral("00:01"));
            QCOMPARE(d->medHorarioAte->text(), QStringLiteral("23:59"));
            QVERIFY(!d->btnListaProd->isEnabled());
            QTest::mouseClick(d->rbtLista, Qt::LeftButton);
            QVERIFY(d->btnListaProd->isEnabled());
            QVERIFY(!d->medProdIni->isEnabled());
            fillGeneration(d);
            m_ui->answerList(prx::listText({first}));
            QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
            screenshot(d, QStringLiteral("copy_cadastro_automatico.png"));
            m_ui->answerQuestion(MsgYes);
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Falha simulada.")});
            QVERIFY(d->isVisible());
            QCOMPARE(Cli_prx51707::stPesqProd, QString());
            m_proxy.clearFailures();
            m_ui->answerList(prx::listText({second}));
            QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
            m_ui->answerQuestion(MsgYes);
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
    const QVariantList sent = m_proxy.lastArgs(QStringLiteral("SetPrecDif"));
    QCOMPARE(sent.size(), 29);
    QCOMPARE(sent.value(25).toString(), QString());
    const DataPacketPtr listed = sent.value(26).value<DataPacketPtr>();
    QVERIFY(listed);
    QCOMPARE(listed->rowCount(), 1);
    QCOMPARE(sent.value(27).toString(), QStringLiteral("T"));
    QCOMPARE(sql(rowsOf.arg(second)).toInt(), 1);
    QCOMPARE(sql(rowsOf.arg(first)).toInt(), 0);
    QVERIFY(HostState::instance().changedTables().contains(QStringLiteral("ITEMPRECODIA")));
    QVERIFY(form->cdsPrecoHora->isActive());
    QVERIFY(m_ui->busyTexts().contains(
        QStringLiteral("Cadastrando preços diferenciados no servidor...")));
}

void CopyDialogsTest::generationChecks_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("message");
    QTest::newRow("sem dia") << 0 << "Dia da Semana deve ser informado.";
    QTest::newRow("valor zero") << 1 << "Valor informado deve ser maior do que zero.";
    QTest::newRow("hora inválida") << 2 << "'25:00' não é uma Hora Válida.";
    QTest::newRow("hora invertida")
        << 3 << "Horário Inicial deve ser menor ou igual ao Horário Final";
    QTest::newRow("validade antes")
        << 4 << "Data Inicial de Validade deve ser maior ou igual a Data Inicial de Vigência .";
    QTest::newRow("percentual 100") << 5 << "O percentual de acréscimo deve estar entre 0 e 100.";
    QTest::newRow("tipo de consumidor") << 6 << "Tipo de consumidor não cadastrado!";
    QTest::newRow("lista vazia") << 7 << "Produto deve ser informado.";
}

void CopyDialogsTest::generationChecks()
{
    QFETCH(int, which);
    QFETCH(QString, message);
    QVERIFY(m_page.open());
    const int calls = m_proxy.callCount(QStringLiteral("SetPrecDif"));
    withDialog<TfrmCadAutPrecoDeferenciado>(
        Cli_prx51707::CriaCadAutPrecoDeferenciado, [&](TfrmCadAutPrecoDeferenciado *d) {
            fillGeneration(d);
            switch (which) {
            case 0:
                d->chbSegunda->setChecked(false);
                break;
            case 1:
                d->rdgValPerValor->setChecked(true);
                d->numValPer->setValue(0);
                break;
            case 2:
                d->medHorarioDe->setText(QStringLiteral("25:00"));
                break;
            case 3:
                d->medHorarioDe->setText(QStringLiteral("18:01"));
                d->medHorarioAte->setText(QStringLiteral("18:00"));
                break;
            case 4:
                d->depValidadeDe->setDate(d->depValidadeDe->date().addDays(-1));
                break;
            case 5:
                d->rdgDesAcrAcrescimo->setChecked(true);
                d->numValPer->setValue(100);
                break;
            case 6:
                d->edtCdTipoConsumidor->setText(QStringLiteral("Z"));
                break;
            case 7:
                QTest::mouseClick(d->rbtLista, Qt::LeftButton);
                break;
            }
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QCOMPARE(m_ui->errors(), QStringList{message});
            QVERIFY(d->isVisible());
        });
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetPrecDif")), calls);
}

void CopyDialogsTest::activationRunsOnce()
{
    QVERIFY(m_page.open());
    withDialog<TfrmCadAutPrecoDeferenciado>(
        Cli_prx51707::CriaCadAutPrecoDeferenciado, [&](TfrmCadAutPrecoDeferenciado *d) {
            QTest::mouseClick(d->rbtLista, Qt::LeftButton);
            m_ui->answerList(prx::listText({QStringLiteral("0000000001")}));
            QTest::mouseClick(d->btnListaProd, Qt::LeftButton);
            d->medHorarioDe->setText(QStringLiteral("10:00"));
            QEvent off(QEvent::WindowDeactivate), on(QEvent::WindowActivate);
            QApplication::sendEvent(d, &off);
            QApplication::sendEvent(d, &on);
            QCOMPARE(d->medHorarioDe->text(), QStringLiteral("10:00"));
            QVERIFY(!Cli_prx51707::stPesqProd.isEmpty());
        });
}

void CopyDialogsTest::creatorsNeedThePeriod()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    form->cdsItemPreco->close();
    QVERIFY_THROWS_EXCEPTION(Abort, Cli_prx51709::criaCopiaPreco(QStringLiteral("0001"),
                                                                 QStringLiteral("001"), QString(),
                                                                 QDateTime(), QDateTime()));
    form->cdsTabePrec->close();
    QVERIFY(!form->cdsTabeVend->isActive());
    QVERIFY_THROWS_EXCEPTION(Abort, Cli_prx51707::CriaCadAutPrecoDeferenciado());
    QCOMPARE(m_ui->errors().size(), 2);
    QVERIFY(m_ui->errors().at(1).startsWith(QStringLiteral("Selecione uma vigência")));
    QVERIFY(!Cli_prx51707::boStCriado);
    QVERIFY(!Cli_prx51709::boCriado);
}

void CopyDialogsTest::copyReportsFailures()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    // A base with a fixed discount of 5; one target at 3 cannot take it.
    const QString base = sql("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE " + period() +
                             " AND CDPRODUTO = CDPRPAITABPR AND VRPRECITEM > 10")
                             .toString();
    const QString cheap = sql("SELECT MAX(CDPRODUTO) FROM ITEMPRECO WHERE " + period() +
                              " AND CDPRODUTO = CDPRPAITABPR AND VRPRECITEM IS NOT NULL")
                              .toString();
    QVERIFY(base != cheap);
    QVERIFY(exec("UPDATE ITEMPRECO SET VRPRECITEM = 3, VRPRECITEMCL = 0 WHERE " + period() +
                 " AND CDPRODUTO = '" + cheap + "'"));
    QVERIFY(exec("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO IN ('" + base + "', '" + cheap + "')"));
    QVERIFY(exec("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                 "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                 "DTINIVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
                 "VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) SELECT "
                 "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRODUTO, 'T', '2', '1000', "
                 "'1200', DTINIVGPREC, 'V', 'D', 5, 0, 0, 'N', 'S', 'N', 'N' FROM ITEMPRECO "
                 "WHERE " +
                 period() + " AND CDPRODUTO = '" + base + "' AND CDPRPAITABPR = '" + base + "'"));
    // A long accented name must reach the report whole.
    const QString longName = QStringLiteral("Pão de Queijo Açucarado Recheado da Casa com Ervas");
    QVERIFY(exec("UPDATE PRODUTO SET NMPRODUTO = '" + longName + "' WHERE CDPRODUTO = '" + cheap +
                 "'"));
    form->loadItemPreco();
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", base));
    const QString cheapTree =
        sql("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = '" + cheap + "'").toString();
    HostState::instance().clearChangedTables();

    QString pdf;
    withDialog<TfrmCopiaPreco>(
        [] { Cli_prx51700::frmTabePreco->mnuCopPrecoDifClick(); },
        [&](TfrmCopiaPreco *d) {
            QVERIFY(d->rbtProdLista->isChecked());
            QVERIFY(d->lblDadosTab->text().startsWith(QStringLiteral("001 - ")));
            QVERIFY(d->lblDataVig->text().contains(QStringLiteral(" a ")));
            QVERIFY(d->cdsProdCopia->recordCount() > 2);
            QVERIFY(!d->cdsProdCopia->locate(u"CDPRODUTO", base));
            screenshot(d, QStringLiteral("copy_copiar_precos.png"));
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QCOMPARE(m_ui->lastText(), QStringLiteral("Produto deve ser informado."));
            QTest::mouseClick(d->rbtIntervalo, Qt::LeftButton);
            QVERIFY(d->medCdProdIni->isEnabled());
            d->medCdProdIni->setText(QStringLiteral("99999999"));
            d->medCdProdFin->setText(cheapTree);
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QCOMPARE(m_ui->lastText(),
                     QStringLiteral("Produto não cadastrado na tabela de preços selecionada."));
            QCOMPARE(d->focusWidget(), d->medCdProdIni);
            // The final side's search fills the final code only.
            m_ui->chooseRow(QStringLiteral("CDPRODUTO"), cheap);
            QTest::mouseClick(d->btpProdFin, Qt::LeftButton);
            QCOMPARE(d->medNmProdFin->text(), longName);
            d->cdsProdCopia->last();
            d->medCdProdIni->setText(d->cdsProdCopia->fieldByName(u"CDARVPROD").asString());
            d->cdsProdCopia->first();
            d->medCdProdFin->setText(d->cdsProdCopia->fieldByName(u"CDARVPROD").asString());
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QCOMPARE(m_ui->lastText(), QStringLiteral("Produto final deve ter o código maior que "
                                                      "o produto inicial."));
            // Back to the list: the base itself is sent too, and left alone.
            QTest::mouseClick(d->rbtProdLista, Qt::LeftButton);
            QVERIFY(d->medCdProdIni->text().isEmpty());
            m_ui->answerList(prx::listText({cheap, base}));
            QTest::mouseClick(d->btpProdLista, Qt::LeftButton);
            m_ui->answerQuestion(MsgYes);
            m_ui->answerQuestion(MsgYes);
            onModalOf<TfrmInconsistenciaCopia>([&](TfrmInconsistenciaCopia *r) {
                screenshot(r, QStringLiteral("copy_relatorio.png"));
                QTest::mouseClick(r->btnVisualizar, Qt::LeftButton);
                pdf = m_ui->previewFiles().value(0);
            });
            QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
            QVERIFY(d->isVisible());
        });
    QVERIFY(HostState::instance().changedTables().contains(QStringLiteral("ITEMPRECODIA")));
    QCOMPARE(test::countFixtureRows(m_server.databaseFile(),
                                    "SELECT * FROM ITEMPRECODIA WHERE CDPRODUTO = '" + base + "'"),
             1);
    QCOMPARE(test::countFixtureRows(m_server.databaseFile(),
                                    "SELECT * FROM ITEMPRECODIA WHERE CDPRODUTO = '" + cheap + "'"),
             0);
    QVERIFY(!pdf.isEmpty());
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Inconsistências de Preços Copiados")), qPrintable(text));
    // Wrapped cells read whole in reading order.
    const QString inOrder = pdfText(pdf, true).simplified();
    QVERIFY(inOrder.contains(longName));
    QVERIFY(text.contains(EditMask(DBPict(0)).format(cheapTree)));
    QVERIFY(
        inOrder.contains(QStringLiteral("Preço diferenciado resultante menor ou igual a zero.")));
    QVERIFY(text.contains(QStringLiteral("Página 1/1")));
    QVERIFY(text.contains(QStringLiteral("Total de produtos: 1")));
}

void CopyDialogsTest::showReport(const DataPacketPtr &errors, const std::function<void()> &inside)
{
    test::onNextModal([&](QWidget *modal) {
        auto *r = qobject_cast<TfrmInconsistenciaCopia *>(modal);
        QVERIFY(r);
        if (inside)
            inside();
        else
            QTest::mouseClick(r->btnVisualizar, Qt::LeftButton);
        modal->close();
    });
    Cli_prx51710::criaRelInconsistencia(QStringLiteral("0001"), QStringLiteral("001"),
                                        QVariant::fromValue(errors));
}

void CopyDialogsTest::reportPages()
{
    auto errors = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDARVPROD"), FieldType::String, 40},
                        {QStringLiteral("NMPRODUTO"), FieldType::String, 50},
                        {QStringLiteral("DSERRO"), FieldType::String, 200}});
    for (int i = 0; i < 200; ++i) {
        const int row = errors->appendRow();
        errors->setString(row, 0, QStringLiteral("0101%1").arg(i, 4, 10, QLatin1Char('0')));
        errors->setString(row, 1, QStringLiteral("Café Ç número %1").arg(i));
        errors->setString(row, 2,
                          QStringLiteral("Produto sem preço de delivery; o produto base "
                                         "tem preço diferenciado para o delivery."));
    }
    showReport(errors);
    const QString text = pdfText(m_ui->previewFiles().value(0));
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    QVERIFY2(pages.size() > 2, qPrintable(text.left(2000)));
    QVERIFY(pages.at(1).contains(QStringLiteral("Código")));
    QVERIFY(pages.at(1).contains(QStringLiteral("Motivo")));
    QVERIFY(pages.at(1).contains(QStringLiteral("Página 2/%1").arg(pages.size())));
    QVERIFY(text.contains(QStringLiteral("01.01.0199")));
    QVERIFY(text.contains(QStringLiteral("Café Ç número 199")));
    QVERIFY(text.contains(QStringLiteral("Total de produtos: 200")));

    // No rows: the frame of the report and a total of zero.
    errors = std::make_shared<DataPacket>(errors->fields());
    showReport(errors);
    const QString empty = pdfText(m_ui->previewFiles().value(1));
    QVERIFY(empty.contains(QStringLiteral("Total de produtos: 0")));
    QVERIFY(empty.contains(QStringLiteral("Página 1/1")));
}

void CopyDialogsTest::reportRefusals()
{
    auto errors = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDARVPROD"), FieldType::String, 40}});
    // Another report of the same code: choosing it is refused and undone.
    QFile other(m_reports.filePath(QStringLiteral("PRX517_outro.rel")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("[relatorio]\ncodigo=PRX517\ntitulo=Outro Relatório\n");
    other.close();
    TfrmInconsistenciaCopia *shown = nullptr;
    showReport(errors, [&] {
        shown = qobject_cast<TfrmInconsistenciaCopia *>(QApplication::activeModalWidget());
        shown->cmbRelatorio->setCurrentIndex(shown->cmbRelatorio->findText("Outro Relatório"));
        QTest::mouseClick(shown->btnVisualizar, Qt::LeftButton);
        QCOMPARE(shown->cmbRelatorio->currentText(),
                 QStringLiteral("Inconsistências de Preços Copiados"));
    });
    QCOMPARE(m_ui->lastText(),
             QStringLiteral("Relatório inválido! A tela é usada apenas para emitir o relatório "
                            "\"Inconsistências de Preços Copiados\"."));
    QVERIFY(other.remove());

    // No definition in the folder at all.
    QTemporaryDir empty;
    report::setReportsFolder(empty.path());
    const auto restore = qScopeGuard([&] { report::setReportsFolder(m_reports.path()); });
    showReport(errors);
    QCOMPARE(m_ui->errors().value(1),
             QStringLiteral("O arquivo contendo a definição do relatório de código 'PRX517' não "
                            "foi encontrado no diretório '%1'.")
                 .arg(QDir::toNativeSeparators(empty.path())));
    QVERIFY(m_ui->previewFiles().isEmpty());
}

QTEST_MAIN(CopyDialogsTest)
#include "tst_copydialogs.moc"
