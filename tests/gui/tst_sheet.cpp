#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "FixtureSql.h"
#include "pricetable/TfrmTabePreco.h"
#include "sheet/SheetFileQuestion.h"
#include "sheet/TfrmPlanilhaPreview.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace prx;
using prx::test::ItemsPageTest;

// The spreadsheet entries of the item page, over a real server.
class SheetTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // The period goes out to a file and comes back edited: the preview shows
    // the changed price and the refused row, cancelling it writes nothing,
    // confirming it writes the price and the grid shows it.
    void exportEditImport();
    // prx-cli does the same from the command line and writes only when told
    // to with --apply.
    void commandLine();
    // A workbook exported with its differentiated prices comes back through
    // the screen untouched: both sheets are read and the preview says that
    // nothing changes, with nothing to import.
    void workbookRoundTrip();
    // A file with items and differentiated prices is written whole or not
    // at all: with a refused differentiated price the preview offers nothing
    // to import; without it the item price and the differentiated price it
    // was checked against are written together.
    void itemsAndDayPricesTogether();

private:
    // Gives the product a new price in the exported file, as a spreadsheet
    // user would, and adds the extra line after it.
    static void editPrice(const QString &path, const QString &product, double price,
                          const QString &extraLine = {})
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        file.close();
        const qsizetype at =
            lines.indexOf(QRegularExpression(QStringLiteral("^%1;.*").arg(product)));
        QVERIFY(at > 0);
        QStringList cells = lines[at].split(u';');
        cells[4] = QString::number(price, 'f', 2).replace(u'.', u',');
        lines[at] = cells.join(u';');
        if (!extraLine.isEmpty())
            lines.insert(at + 1, extraLine);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
    }
    void trigger(TfrmTabePreco *form, const char *action)
    {
        QAction *entry = form->findChild<QAction *>(QLatin1String(action));
        QVERIFY2(entry, action);
        entry->trigger();
    }
    // Runs the menu entry with the preview answered by `drive`.
    void importWith(TfrmTabePreco *form, const std::function<void(TfrmPlanilhaPreview *)> &drive)
    {
        bool shown = false;
        test::onNextModal([&](QWidget *modal) {
            auto *preview = qobject_cast<TfrmPlanilhaPreview *>(modal);
            QVERIFY(preview);
            shown = true;
            drive(preview);
        });
        trigger(form, "mnuImportarPlanilha");
        QVERIFY(shown);
    }
};

void SheetTest::exportEditImport()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(m_page.moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    const double price = m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble();

    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.csv"));
    SheetFileQuestion::setAnswer([&](bool, const QString &) { return path; });
    const auto restore = qScopeGuard([] { SheetFileQuestion::setAnswer(nullptr); });

    m_ui->answerQuestion(MsgNo, QStringLiteral("Incluir os preços diferenciados na planilha?"));
    trigger(form, "mnuExportarPlanilha");
    QVERIFY2(m_ui->lastText().startsWith(QStringLiteral("Planilha gravada em ")),
             qPrintable(m_ui->lastText()));

    editPrice(path, product, price + 2, QStringLiteral("9999999999;;;;1,00"));
    if (QTest::currentTestFailed())
        return;

    importWith(form, [&](TfrmPlanilhaPreview *preview) {
        QVERIFY(preview->lblResumo->text().startsWith(
            QStringLiteral("0 preços novos, 1 alterado, 1 linha recusada, ")));
        QCOMPARE(preview->grdPrevia->rowCount(), 2);
        QCOMPARE(preview->grdPrevia->item(0, 1)->text(), product);
        QCOMPARE(preview->grdPrevia->item(1, 3)->text(), QStringLiteral("Recusado"));
        QVERIFY(preview->btnImportar->isEnabled());
        QString shot;
        QVERIFY(test::grabScreenshot(preview, QStringLiteral("planilha-previa.png"), &shot));
        qInfo("%s", qPrintable(shot));
        QTest::mouseClick(preview->btnCancelar, Qt::LeftButton);
    });
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price);

    importWith(form, [](TfrmPlanilhaPreview *preview) {
        QTest::mouseClick(preview->btnImportar, Qt::LeftButton);
    });
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price + 2);
    QVERIFY2(m_ui->lastText().startsWith(QStringLiteral("Planilha importada: 0 preços novos, "
                                                        "1 alterado, 1 linha recusada")),
             qPrintable(m_ui->lastText()));
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", product));
    QCOMPARE(form->cdsItemPreco->fieldByName(u"VRPRECITEM").asFloat(), price + 2);
}

void SheetTest::commandLine()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(m_page.moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    const double price = m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble();
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.csv"));
    const QStringList period = {
        QStringLiteral("--server"), QStringLiteral("127.0.0.1:%1").arg(m_server.port()),
        QStringLiteral("--branch"), QStringLiteral("1"),
        QStringLiteral("--table"),  QStringLiteral("1"),
        QStringLiteral("--start"),  m_page.periodStart.toString(QStringLiteral("dd/MM/yyyy"))};
    QString output;
    QVERIFY2(test::ServerFixture::runCli(QStringList{QStringLiteral("export-period")} + period +
                                             QStringList{QStringLiteral("--out"), path},
                                         &output),
             qPrintable(output));
    editPrice(path, product, price + 3);
    if (QTest::currentTestFailed())
        return;

    const QStringList import = QStringList{QStringLiteral("import-period")} + period +
                               QStringList{QStringLiteral("--file"), path};
    QVERIFY2(test::ServerFixture::runCli(import, &output), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("alterado")) &&
                 output.contains(QStringLiteral("Nada foi gravado")),
             qPrintable(output));
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price);

    QVERIFY2(test::ServerFixture::runCli(import + QStringList{QStringLiteral("--apply")}, &output),
             qPrintable(output));
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price + 3);

    QStringList badDate = import;
    badDate[badDate.indexOf(QStringLiteral("--start")) + 1] = QStringLiteral("31/02/2026");
    QVERIFY(!test::ServerFixture::runCli(badDate, &output));
    QVERIFY2(output.contains(QStringLiteral("data inicial de vigência inválida")),
             qPrintable(output));
}

void SheetTest::workbookRoundTrip()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("periodo.xlsx"));
    SheetFileQuestion::setAnswer([&](bool, const QString &) { return path; });
    const auto restore = qScopeGuard([] { SheetFileQuestion::setAnswer(nullptr); });
    m_ui->answerQuestion(MsgYes, QStringLiteral("Incluir os preços diferenciados na planilha?"));
    trigger(form, "mnuExportarPlanilha");
    QVERIFY2(m_ui->lastText().startsWith(QStringLiteral("Planilha gravada em ")),
             qPrintable(m_ui->lastText()));

    m_ui->answerQuestion(MsgYes,
                         QStringLiteral("Importar também os preços diferenciados da planilha?"));
    importWith(form, [&](TfrmPlanilhaPreview *preview) {
        QVERIFY2(
            preview->lblResumo->text().startsWith(QStringLiteral("Itens: Nenhuma alteração: ")),
            qPrintable(preview->lblResumo->text()));
        QVERIFY2(preview->lblResumoDif->text().startsWith(
                     QStringLiteral("Preços diferenciados: Nenhuma alteração: ")),
                 qPrintable(preview->lblResumoDif->text()));
        QCOMPARE(preview->grdPrevia->rowCount(), 0);
        QVERIFY(!preview->btnImportar->isEnabled());
        QString shot;
        QVERIFY(test::grabScreenshot(preview, QStringLiteral("planilha-xlsx-previa.png"), &shot));
        qInfo("%s", qPrintable(shot));
        QTest::mouseClick(preview->btnCancelar, Qt::LeftButton);
    });
}

void SheetTest::itemsAndDayPricesTogether()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(m_page.moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    const double price = m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble();
    const QString newPrice = QString::number(price + 10, 'f', 2).replace(u'.', u',');
    auto dayRows = [&] {
        return test::fixtureValue(m_server.databaseFile(),
                                  QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA WHERE "
                                                 "CDPRODUTO = :p AND HRINIPRECDIA = '0800'"),
                                  {{QStringLiteral(":p"), product}})
            .toInt();
    };
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.csv"));
    auto write = [](const QString &file, const QString &text) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               out.write(text.toUtf8()) == text.toUtf8().size();
    };
    const QString good = QStringLiteral("%1;T;08:00;09:00;P;D;10\r\n").arg(product);
    QVERIFY(write(path, QStringLiteral("Código;Preço\r\n%1;%2\r\n").arg(product, newPrice)));
    QVERIFY(write(dir.filePath(QStringLiteral("itens-precos-diferenciados.csv")),
                  QStringLiteral("Código;Dia;Hora Inicial;Hora Final;Percentual/Valor;"
                                 "Desconto/Acréscimo;Valor\r\n") +
                      good + QStringLiteral("%1;X;10:00;11:00;P;D;10\r\n").arg(product)));
    SheetFileQuestion::setAnswer([&](bool, const QString &) { return path; });
    const auto restore = qScopeGuard([] { SheetFileQuestion::setAnswer(nullptr); });
    const QString question = QStringLiteral("Importar também os preços diferenciados da planilha?");

    m_ui->answerQuestion(MsgYes, question);
    importWith(form, [&](TfrmPlanilhaPreview *preview) {
        QVERIFY2(preview->lblResumoDif->text().contains(QStringLiteral("1 linha recusada")),
                 qPrintable(preview->lblResumoDif->text()));
        QCOMPARE(preview->grdPrevia->rowCount(), 3);
        QVERIFY(!preview->btnImportar->isEnabled());
        QVERIFY2(preview->lblAviso->text().contains(QStringLiteral("tudo ou nada")),
                 qPrintable(preview->lblAviso->text()));
        QString shot;
        QVERIFY(test::grabScreenshot(preview, QStringLiteral("planilha-tudo-ou-nada.png"), &shot));
        qInfo("%s", qPrintable(shot));
        QTest::mouseClick(preview->btnCancelar, Qt::LeftButton);
    });
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price);
    QCOMPARE(dayRows(), 0);

    QVERIFY(write(dir.filePath(QStringLiteral("itens-precos-diferenciados.csv")),
                  QStringLiteral("Código;Dia;Hora Inicial;Hora Final;Percentual/Valor;"
                                 "Desconto/Acréscimo;Valor\r\n") +
                      good));
    m_ui->answerQuestion(MsgYes, question);
    importWith(form, [](TfrmPlanilhaPreview *preview) {
        QVERIFY(preview->btnImportar->isEnabled());
        QTest::mouseClick(preview->btnImportar, Qt::LeftButton);
    });
    QVERIFY2(m_ui->lastText().contains(QStringLiteral("1 preço diferenciado novo")),
             qPrintable(m_ui->lastText()));
    QCOMPARE(m_page.stored(QStringLiteral("VRPRECITEM"), product).toDouble(), price + 10);
    QCOMPARE(dayRows(), 1);
}

QTEST_MAIN(SheetTest)
#include "tst_sheet.moc"
