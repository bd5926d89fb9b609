#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "dataset/ClientDataSet.h"
#include "pricetable/TfrmTabePreco.h"
#include "review/TfrmRevisaoVigencia.h"
#include "services/ProductCode.h"
#include "widgets/DBGrid.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace prx;
using prx::test::ItemsPageTest;

namespace {

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The labels, buttons and group titles of the window that do not show whole.
QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const bool fits = label->wordWrap()
                                  ? label->heightForWidth(label->width()) <= label->height()
                                  : label->sizeHint().width() <= label->width();
            if (!label->text().isEmpty() && !fits)
                cut << label->text();
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (button->sizeHint().width() > button->width())
                cut << button->text();
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            if (group->minimumSizeHint().width() > group->width())
                cut << group->title();
        }
    }
    return cut;
}

// The rows each filter entry keeps, in the combo's order: a field and its value.
const std::pair<const char *, const char *> kKept[] = {
    {"", ""},        {"IDTIPO", "N"},   {"IDTIPO", "R"},    {"IDTIPO", "A"},   {"IDTIPO", "D"},
    {"IDTIPO", "I"}, {"IDMARGEM", "S"}, {"IDSEMALIQ", "S"}, {"IDDIFALT", "S"},
};

} // namespace

// The review of the period in focus, opened from the items page over a real
// server, and the same review from prx-cli.
class ReviewTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // The toolbar command opens the review of the period in focus: its
    // summary and rows (codes through the mask), every filter keeps only its
    // rows and as many as the summary counts, the preview, the PDF of what
    // is shown and the workbook are written; every text shows whole.
    void reviewFromItemsPage();
    // Not offered while an item is being typed.
    void offeredOnlyWhenNothingIsTyped();
    // A refusal of the server is shown and no dialog opens.
    void refusalShown();
    // prx-cli review prints the summary and one line per product.
    void cliPrintsTheReview();
};

void ReviewTest::reviewFromItemsPage()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(form->btnRevVig->isEnabled());
    QString screen;
    test::grabScreenshot(form, QStringLiteral("revisao_tela.png"), &screen);
    QTemporaryDir dir;
    TfrmRevisaoVigencia::setFileAnswer([&](const QString &, const QString &suggested) {
        return dir.filePath(QFileInfo(suggested).fileName());
    });
    const auto noHook = qScopeGuard([] { TfrmRevisaoVigencia::setFileAnswer({}); });

    bool opened = false;
    QString period, total, firstCode, storedCode, shot;
    QStringList cut, filterFaults, pdfs;
    int rows = 0, increases = -1;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmRevisaoVigencia *>(window);
        if (!dialog)
            return;
        opened = true;
        ClientDataSet *data = dialog->cdsRevisao;
        period = dialog->lblPeriodo->text();
        total = dialog->findChild<QLabel *>(QStringLiteral("lblResumo0"))->text();
        rows = data->recordCount();
        storedCode = data->fieldByName(u"CDARVPROD").asString();
        firstCode = dialog->dbgRevisao->displayTextAt(0, u"CDARVPROD");
        cut = cutTexts(dialog);
        test::grabScreenshot(dialog, QStringLiteral("revisao_vigencia.png"), &shot);
        // Each filter chosen with the keyboard, as a user goes down the list.
        QComboBox *filter = dialog->cmbFiltro;
        filter->setFocus();
        for (int i = 1; i < filter->count(); ++i) {
            QTest::keyClick(filter, Qt::Key_Down);
            const QString entry = filter->currentText();
            const int counted = QRegularExpression(QStringLiteral("\\((\\d+)\\)$"))
                                    .match(entry)
                                    .captured(1)
                                    .toInt();
            if (filter->currentIndex() != i || data->recordCount() != counted)
                filterFaults << QStringLiteral("%1: %2 linhas").arg(entry).arg(data->recordCount());
            const QString field = QString::fromLatin1(kKept[i].first);
            for (int r = 0; r < data->recordCount(); ++r) {
                if (data->valueAt(r, data->fieldByName(field).index()).toString() !=
                    QLatin1String(kKept[i].second))
                    filterFaults << QStringLiteral("%1: linha %2").arg(entry).arg(r);
            }
            if (kKept[i].second == QByteArrayView("A"))
                increases = counted;
        }
        QTest::mouseClick(dialog->btnVisualizar, Qt::LeftButton);
        // The increases only, as a PDF and as a workbook.
        while (filter->currentIndex() != 3)
            QTest::keyClick(filter, Qt::Key_Up);
        QTest::mouseClick(dialog->btnSalvarPdf, Qt::LeftButton);
        QTest::mouseClick(dialog->btnExportarXlsx, Qt::LeftButton);
        QTest::mouseClick(dialog->btnFechar, Qt::LeftButton);
    });
    QTest::mouseClick(form->btnRevVig, Qt::LeftButton);
    QTRY_VERIFY2(opened, qPrintable(m_ui->errors().join(u'\n')));
    QCOMPARE(m_ui->errors(), QStringList());

    QVERIFY2(period.contains(m_page.periodStart.toString(u"dd/MM/yyyy")), qPrintable(period));
    QVERIFY(rows > 0);
    QCOMPARE(total, QString::number(rows));
    QCOMPARE(firstCode, productCodeText(storedCode));
    QVERIFY2(firstCode.contains(u'.'), qPrintable(firstCode));
    QCOMPARE(cut, QStringList());
    QCOMPARE(filterFaults, QStringList());
    QVERIFY(increases > 0); // the demo's prices rise from one period to the next

    QCOMPARE(m_ui->previewTitles(), QStringList{QStringLiteral("Revisão da vigência")});
    const QString stem =
        QStringLiteral("revisao-0001-001-%1").arg(m_page.periodStart.toString(u"yyyy-MM-dd"));
    const QString pdf = pdfText(dir.filePath(stem + QStringLiteral(".pdf")));
    QVERIFY2(pdf.contains(QStringLiteral("Revisão da vigência")), qPrintable(pdf.left(400)));
    QVERIFY2(pdf.contains(QStringLiteral("Produtos mostrados: Aumentos (%1)").arg(increases)),
             qPrintable(pdf.left(2000)));
    QCOMPARE(pdf.count(QStringLiteral(" Aumento ")), increases);
    QVERIFY(QFileInfo(dir.filePath(stem + QStringLiteral(".xlsx"))).size() > 0);
    QCOMPARE(m_ui->texts().size(), 2); // where the PDF and the workbook went
    qInfo("screenshots: %s %s", qPrintable(shot), qPrintable(screen));
}

void ReviewTest::offeredOnlyWhenNothingIsTyped()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(form->btnRevVig->isEnabled());
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Edit);
    QVERIFY(!form->btnRevVig->isEnabled());
    QVERIFY(!form->mnuRevVig->isEnabled());
    QTest::keyClick(form->dbsItemPreco, Qt::Key_Escape);
    form->cdsItemPreco->cancel();
    QTRY_VERIFY(form->btnRevVig->isEnabled());
}

void ReviewTest::refusalShown()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    m_proxy.failMethod(QStringLiteral("GetRevisaoVigencia"),
                       QStringLiteral("Período de vigência não cadastrado."));
    form->mnuRevVig->trigger();
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Período de vigência não cadastrado.")});
    QVERIFY(!QApplication::activeModalWidget());
}

void ReviewTest::cliPrintsTheReview()
{
    QString output;
    const QString server = QStringLiteral("%1:%2").arg(m_server.host()).arg(m_server.port());
    QVERIFY(m_page.open());
    const QString start = m_page.periodStart.toString(u"dd/MM/yyyy");
    QVERIFY2(
        test::ServerFixture::runCli({"review", "--server", server, "0001", "001", start}, &output),
        qPrintable(output));
    QVERIFY2(output.startsWith(QStringLiteral("Revisão da vigência: filial 0001, tabela 001, "
                                              "vigência %1 a ")
                                   .arg(start)),
             qPrintable(output.left(300)));
    const int products =
        QRegularExpression(QStringLiteral("Produtos: (\\d+);")).match(output).captured(1).toInt();
    QVERIFY(products > 0);
    // The summary, a blank line, the titles, then one line per product.
    const QStringList parts = output.trimmed().split(QStringLiteral("\n\n"));
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[1].split(u'\n').size(), products + 1);
    QVERIFY(!test::ServerFixture::runCli(
        {"review", "--server", server, "0001", "001", "31/02/2026"}, &output));
    QVERIFY2(output.contains(QStringLiteral("data inválida: 31/02/2026")), qPrintable(output));
}

QTEST_MAIN(ReviewTest)
#include "tst_reviewdialog.moc"
