#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "pricetable/TfrmTabePreco.h"
#include "services/ProductCode.h"
#include "shelf/TfrmAlteracoesPreco.h"
#include "widgets/TDateEditPlus.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace prx;
using prx::test::ItemsPageTest;

namespace {

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Types a moment into the edit as a user does: a click at its start, then
// the digits.
void typeMoment(TDateEditPlus *edit, const QDateTime &at)
{
    QLineEdit *line = edit->lineEdit();
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
    QTRY_VERIFY(line->hasFocus());
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, at.toString(u"ddMMyyyyHHmm"));
}

// A product row as prx-cli changes prints it: tree code, product, name,
// old price, new price, kind.
struct CliRow
{
    QString tree, product, name, before, after;
};

} // namespace

// The items page's "Alterações de preço para etiquetas..." over a real
// server: the report previewed and saved as PDF, codes through the product
// mask, the same list prx-cli gives; the next period, refused while it is
// not approved.
class ShelfChangesTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // From a moment of the past approved period to one of the period in
    // force: the preview and the saved PDF list the products prx-cli lists,
    // codes masked, prices in reais, the total; the rules go under the rows
    // on request.
    void reportBetweenTwoMoments();
    // "Agora e o início do próximo período": the server's refusal while the
    // coming period is only confirmed, the list once it is approved; two
    // moments with nothing between them are told, with no report.
    void nextPeriodAndNothingToChange();

private:
    // Opens the dialog from the items page and runs `steps` in it.
    bool inDialog(const std::function<void(TfrmAlteracoesPreco *)> &steps);
    QList<CliRow> cliRows(const QStringList &args);
};

bool ShelfChangesTest::inDialog(const std::function<void(TfrmAlteracoesPreco *)> &steps)
{
    TfrmTabePreco *form = m_page.open();
    if (!form)
        return false;
    bool opened = false;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmAlteracoesPreco *>(window);
        if (!dialog)
            return;
        opened = true;
        steps(dialog);
        QTest::mouseClick(dialog->btnFechar, Qt::LeftButton);
    });
    form->findChild<QAction *>(QStringLiteral("mnuAlteracoesPreco"))->trigger();
    return QTest::qWaitFor([&] { return opened; });
}

QList<CliRow> ShelfChangesTest::cliRows(const QStringList &args)
{
    QString output;
    const bool ok = test::ServerFixture::runCli(
        QStringList{QStringLiteral("changes"), QStringLiteral("--server"),
                    QStringLiteral("127.0.0.1:%1").arg(m_server.port())} +
            args,
        &output);
    if (!ok)
        qWarning("prx-cli: %s", qPrintable(output));
    QList<CliRow> rows;
    for (const QString &line : output.split(u'\n')) {
        const QStringList cells = line.split(u'\t');
        if (cells.size() == 6)
            rows.append({cells[0], cells[1], cells[2], cells[3], cells[4]});
    }
    return rows;
}

void ShelfChangesTest::reportBetweenTwoMoments()
{
    const QDate today = QDate::currentDate();
    const QDateTime from(today.addDays(-40), QTime(12, 0)), to(today, QTime(12, 0));
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("etiquetas.pdf"));
    QString shot;
    QVERIFY(inDialog([&](TfrmAlteracoesPreco *dialog) {
        QVERIFY(dialog->rbtMomentos->isChecked());
        typeMoment(dialog->dtpDe, from);
        typeMoment(dialog->dtpAte, to);
        QTest::mouseClick(dialog->btnVisualizar, Qt::LeftButton);
        QTest::mouseClick(dialog->chbRegras, Qt::LeftButton);
        dialog->edtArquivo->selectAll();
        QTest::keyClicks(dialog->edtArquivo, saved);
        test::grabScreenshot(dialog, QStringLiteral("alteracoes_preco.png"), &shot);
        QTest::mouseClick(dialog->btnSalvarPdf, Qt::LeftButton);
    }));
    QVERIFY2(m_ui->errors().isEmpty(), qPrintable(m_ui->errors().join(u'|')));
    QCOMPARE(m_ui->lastText(), QStringLiteral("Alterações de preço gravadas em %1.").arg(saved));
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("GetAlteracoesPreco")).value(2).toDateTime(),
             wallClock(from));
    QCOMPARE(m_ui->previewTitles(),
             QStringList{QStringLiteral("Alterações de preço para etiquetas")});

    const QList<CliRow> rows = cliRows({QStringLiteral("0001"), from.toString(u"dd/MM/yyyy HH:mm"),
                                        to.toString(u"yyyy-MM-ddTHH:mm"), QStringLiteral("--table"),
                                        QStringLiteral("001")});
    QVERIFY(rows.size() > 3);
    const QString preview = pdfText(m_ui->previewFiles().value(0));
    const QString file = pdfText(saved);
    for (const QString &text : {preview, file}) {
        QVERIFY2(
            text.contains(
                QStringLiteral("Total de produtos com alteração de preço: %1").arg(rows.size())),
            qPrintable(text.left(2000)));
        for (const CliRow &row : rows) {
            const QString code = productCodeText(row.tree);
            QVERIFY2(code != row.tree, qPrintable(code));
            // One line per product: masked code, then its prices.
            const QRegularExpression line(QRegularExpression::escape(code) + QStringLiteral(".*") +
                                          QRegularExpression::escape(row.before) +
                                          QStringLiteral("\\s+") +
                                          QRegularExpression::escape(row.after));
            QVERIFY2(line.match(text).hasMatch(), qPrintable(code + u' ' + row.before));
            QVERIFY2(!text.contains(row.tree), qPrintable(row.tree));
        }
    }
    QVERIFY(!preview.contains(QStringLiteral("Antes: ")));
    QVERIFY2(file.contains(QStringLiteral("Antes: Preço")) &&
                 file.contains(QStringLiteral("Depois: Preço")),
             qPrintable(file.left(2000)));
    qInfo("screenshot: %s", qPrintable(shot));
}

void ShelfChangesTest::nextPeriodAndNothingToChange()
{
    const QDate today = QDate::currentDate();
    // The demo's coming period of table 001 starts in 30 days, confirmed.
    const QString coming = today.addDays(30).toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    const QString period = QStringLiteral("WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                          "DTINIVGPREC = '%1'")
                               .arg(coming);
    QVERIFY(
        test::execFixtureSql(m_server.databaseFile(),
                             QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = '3' ") + period));
    const QString refused =
        QStringLiteral("Nenhum período aprovado da tabela 001 começa depois de %1. O período de "
                       "%2 está confirmado e só um período aprovado vende.")
            .arg(today.toString(u"dd/MM/yyyy"), today.addDays(30).toString(u"dd/MM/yyyy"));
    QVERIFY(inDialog([&](TfrmAlteracoesPreco *dialog) {
        typeMoment(dialog->dtpDe, QDateTime(today, QTime(3, 0)));
        typeMoment(dialog->dtpAte, QDateTime(today, QTime(3, 1)));
        QTest::mouseClick(dialog->btnVisualizar, Qt::LeftButton);
        QCOMPARE(m_ui->lastText(), QStringLiteral("Nenhum produto muda de preço de %1 03:00 a "
                                                  "%1 03:01.")
                                       .arg(today.toString(u"dd/MM/yyyy")));
        QTest::mouseClick(dialog->rbtProximo, Qt::LeftButton);
        QVERIFY(!dialog->dtpDe->isEnabled());
        QTest::mouseClick(dialog->btnVisualizar, Qt::LeftButton);
        QCOMPARE(m_ui->errors(), QStringList{refused});
        QVERIFY(test::execFixtureSql(m_server.databaseFile(),
                                     QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = '4' ") +
                                         period));
        QTest::mouseClick(dialog->btnVisualizar, Qt::LeftButton);
    }));
    QVERIFY(
        test::execFixtureSql(m_server.databaseFile(),
                             QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = '3' ") + period));
    QCOMPARE(m_ui->previewFiles().size(), 1);
    const QString text = pdfText(m_ui->previewFiles().first());
    QVERIFY2(text.contains(
                 QStringLiteral("Até: %1 00:00").arg(today.addDays(30).toString(u"dd/MM/yyyy"))),
             qPrintable(text.left(1500)));
}

QTEST_MAIN(ShelfChangesTest)
#include "tst_shelfchangesreport.moc"
