#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ScriptedHostUi.h"
#include "ServerFixture.h"

#include "report/PagedTableReport.h"
#include "report/ReportProgress.h"
#include "services/HostState.h"
#include "services/ModuleLoader.h"
#include "services/ReportContext.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace prx;
using prx::test::ScriptedHostUi;
using prx::test::ServerFixture;

namespace {

const QString kStart = QStringLiteral("2031-01-01 00:00:00");

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The texts of the dialog as a test types them.
struct Typed
{
    QString branch = QStringLiteral("0001");
    QString table = QStringLiteral("070");
    QStringList checks;   // check boxes to tick
    QStringList unchecks; // and to clear
    bool byName = false;
    QString file;
};

} // namespace

// The price list module driven through its dialog against a real server: the
// checks, the list's texts and formats, the differentiated prices in words,
// filters and order, the PDF saved; and the page renderer on a long list.
class PriceListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Each check stops the command with its message, on the control to fix.
    void checks_data();
    void checks();
    // The preview: header, masked codes, Brazilian numbers, every price kind
    // and the differentiated prices in words with the price the screen shows.
    void previewTexts();
    // Filters and order decide which products come and in what order.
    void filtersAndOrder_data();
    void filtersAndOrder();
    // The table search needs the branch; a table chosen there brings its
    // name and periods.
    void tableSearch();
    // Print asks which printer first; refused there, nothing is printed.
    void printAsksForPrinter();
    // Save PDF writes the file named and says where.
    void savesPdf();
    // A long list: titles and page numbers on every page, a row kept with
    // its notes; a cancel leaves the file at the path as it was.
    void longListPagesAndCancel();
    // The progress shown while pages are drawn goes away once the last one
    // is drawn, not left over the preview.
    void progressClosesWhenDone();

private:
    bool exec(const QString &sql) { return test::execFixtureSql(m_server.databaseFile(), sql); }
    // Opens the module as Print does, types `typed`, clicks `button` and
    // closes the dialog; the dialog's focused control's name in *focus.
    void run(const Typed &typed, const QString &button, QString *focus = nullptr);

    ServerFixture m_server;
    std::unique_ptr<ScriptedHostUi> m_ui;
    QTemporaryDir m_dir;
    QString m_shots;
};

void PriceListTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_shots = QDir(ServerFixture::binDir()).filePath(QStringLiteral("../screens"));
    QDir().mkpath(m_shots);
    // Table 070 with one period and three priced products; 071 without a
    // period; 072 with a period and no prices.
    const QStringList setup = {
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '070', "
        "'Cardápio Verão')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '071', 'Vazia')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '072', 'Nova')",
        QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                       "IDSITVGPREC) VALUES ('0001', '070', '%1', '2031-01-31 00:00:00', '1')")
            .arg(kStart),
        QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                       "IDSITVGPREC) VALUES ('0001', '072', '%1', '2031-01-31 00:00:00', '1')")
            .arg(kStart),
        "UPDATE PRODUTO SET NMPRODUTO = 'Água Mineral Ção' WHERE CDPRODUTO = '0000000002'",
        QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRCUSTITEM, IDPRODPROMOC) VALUES "
                       "('0001', '070', '%1', '0000000001', '0000000001', 1234.56, 1300, "
                       "1000.125, 'S')")
            .arg(kStart),
        QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEM, IDPRODPROMOC) VALUES ('0001', '070', '%1', "
                       "'0000000058', '0000000058', 9.9, 'N')")
            .arg(kStart),
        QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEMCL) VALUES ('0001', '070', '%1', '0000000002', "
                       "'0000000002', 4)")
            .arg(kStart),
        // Saturday evening 10 % off for everyone; a fixed increase on holidays
        // for students, with dates of its own.
        QStringLiteral("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                       "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, PRECO, "
                       "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) VALUES ('0001', '070', '%1', "
                       "'0000000058', '0000000058', 'T', '7', '1800', '2200', '%1', "
                       "'2031-01-31 00:00:00', 'P', 'D', 10, 8.91, 'S', 'N', 'N')")
            .arg(kStart),
        QStringLiteral("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                       "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, PRECO, "
                       "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) VALUES ('0001', '070', '%1', "
                       "'0000000058', '0000000058', '02', 'F', '1000', '1400', "
                       "'2031-01-10 00:00:00', '2031-01-20 00:00:00', 'V', 'A', 1.5, 11.4, 'S', "
                       "'N', 'N')")
            .arg(kStart),
    };
    for (const QString &sql : setup)
        QVERIFY2(exec(sql), qPrintable(sql));
}

void PriceListTest::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    HostState &state = HostState::instance();
    state.branchCode = QStringLiteral("0001");
    state.serverHost = m_server.host();
    state.serverPort = m_server.port();
    state.productMask = QStringLiteral("99.99.9999;0;_");
    ReportContext::set({QStringLiteral("0001"), QStringLiteral("070"),
                        QDateTime::fromString(kStart, QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
}

void PriceListTest::cleanup()
{
    QCOMPARE(m_ui->busyBalanced(), true);
    m_ui.reset();
    ReportContext::clear();
}

void PriceListTest::run(const Typed &typed, const QString &button, QString *focus)
{
    test::onNextModal([&](QWidget *dialog) {
        auto retype = [dialog](const char *name, const QString &text) {
            auto *edit = dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
            QVERIFY(edit);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, text);
        };
        retype("medCdFilial", typed.branch);
        retype("medCdTabePrec", typed.table);
        retype("edtArquivo", typed.file);
        for (const QString &name : typed.checks + typed.unchecks) {
            auto *box = dialog->findChild<QCheckBox *>(name);
            QVERIFY2(box, qPrintable(name));
            if (box->isChecked() != typed.checks.contains(name))
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        }
        if (typed.byName) {
            auto *byName = dialog->findChild<QRadioButton *>(QStringLiteral("rbtNome"));
            QTest::mouseClick(byName, Qt::LeftButton, {}, QPoint(4, byName->height() / 2));
        }
        auto *command = dialog->findChild<QPushButton *>(button);
        QVERIFY(command);
        QTest::mouseClick(command, Qt::LeftButton);
        if (focus)
            *focus = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
        dialog->close();
    });
    QVERIFY(LoadBPL(QStringLiteral("Prx51701")));
}

void PriceListTest::checks_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("uncheck");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString save = QStringLiteral("btnSalvarPdf");
    QTest::newRow("sem filial") << ""
                                << "070"
                                << ""
                                << ""
                                << "Filial deve ser informada."
                                << "medCdFilial";
    QTest::newRow("filial inexistente") << "999"
                                        << "070"
                                        << ""
                                        << ""
                                        << "Filial 0999 não cadastrada."
                                        << "medCdFilial";
    QTest::newRow("sem tabela") << "1"
                                << ""
                                << ""
                                << ""
                                << "Tabela de preço deve ser informada."
                                << "medCdTabePrec";
    QTest::newRow("tabela inexistente") << "0001"
                                        << "99"
                                        << ""
                                        << ""
                                        << "Tabela de preço 099 não cadastrada na filial 0001."
                                        << "medCdTabePrec";
    QTest::newRow("tabela sem vigência") << "0001"
                                         << "071"
                                         << ""
                                         << ""
                                         << "A tabela de preço 071 não tem vigência cadastrada."
                                         << "medCdTabePrec";
    QTest::newRow("nenhum preço") << "0001"
                                  << "070"
                                  << "chbConsumidor"
                                  << ""
                                  << "Escolha ao menos um preço para listar."
                                  << "chbConsumidor";
    QTest::newRow("sem arquivo") << "0001"
                                 << "070"
                                 << ""
                                 << "-"
                                 << "Arquivo PDF deve ser informado."
                                 << "edtArquivo";
    QTest::newRow("pasta inexistente") << "0001"
                                       << "070"
                                       << ""
                                       << "/sem/pasta/lista.pdf"
                                       << "A pasta do arquivo PDF não existe: /sem/pasta"
                                       << "edtArquivo";
}

void PriceListTest::checks()
{
    QFETCH(QString, branch);
    QFETCH(QString, table);
    QFETCH(QString, uncheck);
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Typed typed;
    typed.branch = branch;
    typed.table = table;
    if (!uncheck.isEmpty())
        typed.unchecks << uncheck;
    // A file column asks for the save command ("-" is an empty name).
    typed.file = file == QLatin1String("-") ? QString() : file;
    QString focused;
    run(typed, file.isEmpty() ? QStringLiteral("btnVisualizar") : QStringLiteral("btnSalvarPdf"),
        &focused);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(focused, focus);
    QVERIFY(m_ui->previewFiles().isEmpty());
}

void PriceListTest::previewTexts()
{
    Typed typed;
    typed.checks = {"chbConsumidor", "chbSubsidiado", "chbDelivery",
                    "chbComanda",    "chbCalculado",  "chbPrecoDif"};
    test::onNextModal([&](QWidget *dialog) {
        QString shot;
        QVERIFY(
            test::grabScreenshot(dialog, QDir(m_shots).filePath("prx51701-dialogo.png"), &shot));
        qInfo("tela: %s", qPrintable(shot));
        dialog->close();
    });
    QVERIFY(LoadBPL(QStringLiteral("Prx51701")));
    run(typed, QStringLiteral("btnVisualizar"));
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->previewFiles().size(), 1);
    const QString pdf = m_ui->previewFiles().first();
    QProcess::execute(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("70"),
                       QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                       QStringLiteral("1"), pdf, QDir(m_shots).filePath("prx51701-pagina")});
    const QString text = pdfText(pdf);
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    QVERIFY2(!pages.isEmpty(), qPrintable(text));
    for (const char *expected :
         {"Lista de Preços", "Filial: 0001 - Restaurante Centro", "Tabela: 070 - Cardápio Verão",
          "Vigência: 01/01/2031 a 31/01/2031", "Ordem: Código",
          "Preços: Consumidor, Subsidiado, Delivery, Comanda, Calculado", "Emitido em"}) {
        QVERIFY2(pages.first().contains(QString::fromUtf8(expected)), expected);
    }
    QVERIFY(pages.last().contains(QStringLiteral("Total de produtos: 60")));
    for (int i = 0; i < pages.size(); ++i) {
        QVERIFY(pages[i].contains(QStringLiteral("Código")));
        QVERIFY(pages[i].contains(QStringLiteral("Página %1/%2").arg(i + 1).arg(pages.size())));
    }
    // One line per product: code through the mask, then its prices.
    const QStringList lines = text.split(u'\n');
    auto line = [&lines](const QString &code) {
        for (const QString &l : lines) {
            if (l.trimmed().startsWith(code))
                return l.simplified();
        }
        return QString();
    };
    QCOMPARE(line("01.01.0001"),
             QStringLiteral("01.01.0001 Refrigerante Cola Lata 350ml 1.234,56 1.300,00 1.000,125"));
    QCOMPARE(line("01.02.0001"), QStringLiteral("01.02.0001 Água Mineral Ção 4,00"));
    QVERIFY(line("01.01.0004").endsWith(QStringLiteral(" 9,90")));
    // Its differentiated prices in words, right under it.
    const int at = lines.indexOf(*std::find_if(lines.begin(), lines.end(), [](const QString &l) {
        return l.trimmed().startsWith("01.01.0004");
    }));
    QCOMPARE(lines.value(at + 1).simplified(),
             QStringLiteral("Sábado 18:00–22:00, Todos, −10 %: 8,91"));
    QCOMPARE(lines.value(at + 2).simplified(),
             QStringLiteral("Feriado 10:00–14:00, Estudante, +1,50: 11,40 (de 10/01/2031 a "
                            "20/01/2031)"));
}

void PriceListTest::filtersAndOrder_data()
{
    QTest::addColumn<QStringList>("checks");
    QTest::addColumn<bool>("byName");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("com preço, por código") << QStringList{"chbComPreco", "chbSubsidiado"} << false
                                           << QStringList{"01.01.0001", "01.01.0004", "01.02.0001"};
    QTest::newRow("com preço, por nome") << QStringList{"chbComPreco", "chbSubsidiado"} << true
                                         << QStringList{"01.02.0001", "01.01.0001", "01.01.0004"};
    QTest::newRow("consumidor com preço")
        << QStringList{"chbComPreco"} << false << QStringList{"01.01.0001", "01.01.0004"};
    QTest::newRow("em promoção") << QStringList{"chbPromocao"} << false
                                 << QStringList{"01.01.0001"};
}

void PriceListTest::filtersAndOrder()
{
    QFETCH(QStringList, checks);
    QFETCH(bool, byName);
    QFETCH(QStringList, codes);
    Typed typed;
    typed.checks = checks;
    typed.byName = byName;
    run(typed, QStringLiteral("btnVisualizar"));
    QCOMPARE(m_ui->errors(), QStringList());
    const QString text = pdfText(m_ui->previewFiles().value(0));
    QStringList listed;
    for (const QString &l : text.split(u'\n')) {
        const QString first = l.trimmed().section(u' ', 0, 0);
        if (first.size() == 10 && first[2] == u'.' && first[5] == u'.')
            listed << first;
    }
    QCOMPARE(listed, codes);
    QVERIFY(text.contains(QStringLiteral("Total de produtos: %1").arg(codes.size())));

    // Nothing left to list: said, and nothing shown.
    m_ui->clearRecord();
    typed.table = QStringLiteral("072");
    run(typed, QStringLiteral("btnVisualizar"));
    QCOMPARE(m_ui->texts(),
             QStringList{QStringLiteral("Nenhum produto atende aos parâmetros informados.")});
    QCOMPARE(m_ui->previewFiles().size(), 1);
}

void PriceListTest::tableSearch()
{
    QString refused, name, period;
    m_ui->chooseRow(QStringLiteral("CDTABEPREC"), QStringLiteral("072"));
    test::onNextModal([&](QWidget *dialog) {
        auto *branch = dialog->findChild<QLineEdit *>(QStringLiteral("medCdFilial"));
        auto *search = dialog->findChild<QAbstractButton *>(QStringLiteral("btpTabePrec"));
        branch->clear();
        QTest::mouseClick(search, Qt::LeftButton);
        refused = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
        QTest::keyClicks(branch, QStringLiteral("1"));
        QTest::mouseClick(search, Qt::LeftButton);
        name = dialog->findChild<QLineEdit *>(QStringLiteral("edtNmTabePrec"))->text();
        period = dialog->findChild<QComboBox *>(QStringLiteral("cmbVigencia"))->currentText();
        dialog->close();
    });
    QVERIFY(LoadBPL(QStringLiteral("Prx51701")));
    QCOMPARE(m_ui->errors(),
             QStringList{QStringLiteral("Informe a filial antes de pesquisar a tabela de preço.")});
    QCOMPARE(refused, QStringLiteral("medCdFilial"));
    QCOMPARE(m_ui->searchTitles().size(), 1);
    QCOMPARE(name, QStringLiteral("Nova"));
    QCOMPARE(period, QStringLiteral("01/01/2031 a 31/01/2031 - Pendente"));
}

void PriceListTest::printAsksForPrinter()
{
    QString asked;
    test::onNextModal([&](QWidget *dialog) {
        test::onNextModal([&](QWidget *printDialog) {
            asked = printDialog->windowTitle();
            printDialog->close();
        });
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnImprimir")),
                          Qt::LeftButton);
        dialog->close();
    });
    QVERIFY(LoadBPL(QStringLiteral("Prx51701")));
    QCOMPARE(asked, QStringLiteral("Imprimir - Lista de Preços"));
    QCOMPARE(m_ui->errors(), QStringList());
}

void PriceListTest::savesPdf()
{
    Typed typed;
    typed.file = m_dir.filePath(QStringLiteral("lista.pdf"));
    typed.checks = {"chbPromocao"};
    run(typed, QStringLiteral("btnSalvarPdf"));
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->texts(),
             QStringList{QStringLiteral("Lista de preços gravada em %1.").arg(typed.file)});
    QVERIFY(pdfText(typed.file).contains(QStringLiteral("1.234,56")));
    QVERIFY(m_ui->previewFiles().isEmpty());
}

void PriceListTest::longListPagesAndCancel()
{
    report::PagedTableReport rel(QStringLiteral("Lista Longa"));
    rel.addParameter(QStringLiteral("Filial"), QStringLiteral("0001"));
    rel.setIssued(QStringLiteral("Emitido agora"));
    rel.setColumns({{QStringLiteral("Código"), 20, false},
                    {QStringLiteral("Produto"), 60, false},
                    {QStringLiteral("Preço"), 20, true}});
    const int rows = 400;
    // Every 7th row carries 12 lines under it, which must stay with it.
    rel.setRows(
        rows,
        [](int row, report::PagedTableReport::RowText *out) {
            out->cells << QStringLiteral("C%1").arg(row, 4, 10, QLatin1Char('0'))
                       << QStringLiteral("Produto número %1 com um nome longo demais para caber "
                                         "na coluna que lhe cabe no papel")
                              .arg(row)
                       << QStringLiteral("%1,00").arg(row);
            for (int i = 0; i < (row % 7 == 0 ? 12 : 0); ++i)
                out->notes << QStringLiteral("nota %1 de C%2").arg(i).arg(row, 4, 10, QChar(u'0'));
        },
        [](int row) { return row % 7 == 0 ? 12 : 0; });
    rel.setClosingLine(QStringLiteral("Total: 400"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("longa.pdf"));
    int calls = 0;
    QCOMPARE(rel.writePdf(path, nullptr,
                          [&calls](int, int) {
                              ++calls;
                              return true;
                          }),
             report::PagedTableReport::Outcome::Written);
    const QStringList pages = pdfText(path).split(u'\f', Qt::SkipEmptyParts);
    QVERIFY(pages.size() > 5);
    QCOMPARE(calls, pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        QVERIFY(pages[i].contains(QStringLiteral("Lista Longa")));
        QVERIFY(pages[i].contains(QStringLiteral("Preço")));
        QVERIFY(pages[i].contains(QStringLiteral("Página %1/%2").arg(i + 1).arg(pages.size())));
        // A row's notes are on its page: no page starts with a note.
        const QStringList lines = pages[i].split(u'\n', Qt::SkipEmptyParts);
        const int titles = int(lines.indexOf(*std::find_if(lines.begin(), lines.end(), [](auto &l) {
            return l.contains(QStringLiteral("Código"));
        })));
        QVERIFY2(!lines.value(titles + 1).trimmed().startsWith(QStringLiteral("nota")),
                 qPrintable(pages[i].left(400)));
    }
    QVERIFY(pages.last().contains(QStringLiteral("C0399")));
    QVERIFY(pages.last().contains(QStringLiteral("Total: 400")));
    // Names too long for their column are cut, not drawn over the prices.
    QVERIFY(pages.first().contains(QStringLiteral("…")));

    // Cancelled on the second page: the earlier file stays whole, and no
    // file at all is left where there was none.
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();
    auto stopAtTwo = [](int done, int) { return done < 2; };
    QCOMPARE(rel.writePdf(path, nullptr, stopAtTwo), report::PagedTableReport::Outcome::Cancelled);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), before);
    const QString fresh = dir.filePath(QStringLiteral("nova.pdf"));
    QCOMPARE(rel.writePdf(fresh, nullptr, stopAtTwo), report::PagedTableReport::Outcome::Cancelled);
    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("longa.pdf")});

    // A folder that cannot take the file is a failure with its reason.
    QString error;
    QCOMPARE(rel.writePdf(QStringLiteral("/proc/nao-pode.pdf"), &error),
             report::PagedTableReport::Outcome::Failed);
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(PriceListTest)
void PriceListTest::progressClosesWhenDone()
{
    QWidget owner;
    owner.show();
    report::ReportProgress progress(&owner, QStringLiteral("Lista"), QStringLiteral("%1 de %2"));
    const auto step = progress.callback();
    QVERIFY(step(0, 3));
    QTest::qWait(450); // past the moment the progress shows itself
    QVERIFY(step(1, 3));
    auto *dialog = owner.findChild<QProgressDialog *>(QStringLiteral("prgRelatorio"));
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(step(3, 3));
    QVERIFY(!dialog->isVisible());
}

#include "tst_pricelist.moc"
