// Opens the largest period a chain keeps in the price table screen itself:
// the period in force of table 001 of branch 0001 with its price items and
// ten differentiated prices per item (about a million), through a real
// prx-server on loopback. The time runs from the page change to the detail
// page, the way the user makes it, until both grids are shown; the figure
// beside it is the sqlite3 tool reading the same rows to /dev/null. Also
// the peak resident memory of the whole client, and a picture of the screen.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000); PRX_BENCH_SHOT names the picture
// (default prx51700-vigencia-grande.png in the working folder).
#include "BenchFigures.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"

#include "dataset/ClientDataSet.h"
#include "services/HostDatabase.h"
#include "services/HostState.h"
#include "services/HostUi.h"
#include "widgets/DBGrid.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace prx;
using namespace prx::bench;

namespace {

[[noreturn]] void fail(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::exit(1);
}

struct Period
{
    QString start; // as stored
    QString end;
    int items = 0;
    int dayPrices = 0;
};

void exec(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        fail(sql.left(120) + QStringLiteral(": ") + q.lastError().text());
}

// Gives every item of the period in force ten differentiated prices (five
// weekdays, morning and afternoon) of ten cents more than its price, for
// all consumer types; the rows obey every rule the server checks. The
// history triggers are set aside meanwhile: this is a fixture, not a change.
Period fillPeriod(const QString &file)
{
    Period p;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fixture");
        db.setDatabaseName(file);
        if (!db.open())
            fail(db.lastError().text());
        QSqlQuery q(db);
        exec(q, "SELECT DTINIVGPREC, COALESCE(DTFINVGPREC, '') FROM TABEVEND WHERE "
                "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC <= datetime('now') "
                "ORDER BY DTINIVGPREC DESC LIMIT 1");
        if (!q.next())
            fail("a filial 0001 não tem vigência em vigor na tabela 001");
        p.start = q.value(0).toString();
        p.end = q.value(1).toString();

        exec(q, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND "
                "tbl_name = 'ITEMPRECODIA'");
        QStringList triggers;
        QStringList names;
        while (q.next()) {
            names << q.value(0).toString();
            triggers << q.value(1).toString();
        }
        exec(q, "BEGIN");
        for (const QString &name : names)
            exec(q, "DROP TRIGGER " + name);
        // The period's rows, of the table named by `alias` ("" or "i.").
        const auto periodOf = [&p](const QString &alias = {}) {
            return QStringLiteral("%1CDFILIAL = '0001' AND %1CDTABEPREC = '001' AND "
                                  "%1DTINIVGPREC = '%2'")
                .arg(alias, p.start);
        };
        const QString period = periodOf();
        exec(q, "DELETE FROM ITEMPRECODIA WHERE " + period);
        const QString end = p.end.isEmpty() ? QStringLiteral("NULL") : "'" + p.end + "'";
        exec(q, QStringLiteral(
                    "WITH v(d, hi, hf) AS (VALUES ('2','0000','1159'),('2','1200','2359'),"
                    "('3','0000','1159'),('3','1200','2359'),('4','0000','1159'),"
                    "('4','1200','2359'),('5','0000','1159'),('5','1200','2359'),"
                    "('6','0000','1159'),('6','1200','2359')) "
                    "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                    "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                    "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
                    "VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, "
                    "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, DTULTALT) "
                    "SELECT i.CDFILIAL, i.CDTABEPREC, i.DTINIVGPREC, i.CDPRODUTO, "
                    "i.CDPRPAITABPR, 'T', v.d, v.hi, v.hf, i.DTINIVGPREC, %1, 'V', 'A', 0.1, "
                    "0, 0, ROUND(i.VRPRECITEM + 0.1, 2), NULL, NULL, 'N', 'S', 'N', 'N', "
                    "i.DTINIVGPREC FROM ITEMPRECO i CROSS JOIN v WHERE %2 AND "
                    "i.VRPRECITEM > 0.1 AND i.VRPRECITEM < 100000")
                    .arg(end, periodOf(QStringLiteral("i."))));
        for (const QString &sql : triggers)
            exec(q, sql);
        exec(q, "COMMIT");
        exec(q, "SELECT (SELECT COUNT(*) FROM ITEMPRECO WHERE " + period +
                    "), (SELECT COUNT(*) FROM ITEMPRECODIA WHERE " + period + ")");
        q.next();
        p.items = q.value(0).toInt();
        p.dayPrices = q.value(1).toInt();
        exec(q, "PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QSqlDatabase::removeDatabase("fixture");
    return p;
}

// Runs the event loop until `done` holds, for up to 60 s.
template <typename Done> bool waitFor(Done done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return done();
}

void pressTab(QWidget *widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// Moments of the open, in ms since the page change, so that the figure can
// be split into what the client does and what it waits for.
struct Marks
{
    QElapsedTimer clock;
    QHash<QString, double> at;
    void mark(const QString &name)
    {
        if (!at.contains(name))
            at.insert(name, clock.nsecsElapsed() / 1e6);
    }
    double span(const QString &from, const QString &to) const
    {
        return at.value(to, -1) - at.value(from, -1);
    }
};

// Forwards everything to the headless host and notes when the busy
// indication goes on and off: it goes on right before the first request.
class MarkingHostUi : public HostUi
{
public:
    MarkingHostUi(HostUi &inner, Marks &marks) : m_inner(inner), m_marks(marks) {}
    int messageBox(const QString &text, MsgKind kind, const QList<int> &buttons) override
    {
        return m_inner.messageBox(text, kind, buttons);
    }
    void errorBox(const QString &text) override { m_inner.errorBox(text); }
    bool pesquisar(DataSource &source, const QString &title) override
    {
        return m_inner.pesquisar(source, title);
    }
    bool pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                       QString *list) override
    {
        return m_inner.pesquisaLista(source, keyField, title, list);
    }
    void procura(ClientDataSet &dataSet) override { m_inner.procura(dataSet); }
    void busyOn(int kind, const QString &text) override
    {
        m_marks.mark(QStringLiteral("busyOn"));
        m_inner.busyOn(kind, text);
    }
    void busyOff() override
    {
        m_marks.mark(QStringLiteral("busyOff"));
        m_inner.busyOff();
    }
    QWidget *mainWindow() const override { return m_inner.mainWindow(); }

private:
    HostUi &m_inner;
    Marks &m_marks;
};

// Notes the first open of `dataSet` (the answer is complete when its
// before-open runs) and the first row change after it, around the screen's
// own handlers.
void markOpen(ClientDataSet *dataSet, const QString &name, Marks &marks)
{
    const auto wrap = [&marks](ClientDataSet::Event &event, const QString &before,
                               const QString &after) {
        event = [inner = event, before, after, &marks](ClientDataSet &d) {
            marks.mark(before);
            if (inner)
                inner(d);
            if (!after.isEmpty())
                marks.mark(after);
        };
    };
    wrap(dataSet->beforeOpen, name + QStringLiteral(".answer"), QString());
    wrap(dataSet->afterOpen, name + QStringLiteral(".opened"), QString());
    wrap(dataSet->afterScroll, name + QStringLiteral(".scroll"),
         name + QStringLiteral(".scrolled"));
}

qint64 statusKb(const QByteArray &key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 peakResidentKb()
{
    return statusKb("VmHWM:");
}

qint64 residentKb()
{
    return statusKb("VmRSS:");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString bin = qEnvironmentVariable("PRX_BIN_DIR");
    const QString source = qEnvironmentVariable("PRX_BENCH_DB");
    if (bin.isEmpty() || source.isEmpty() || !QFile::exists(source))
        fail("defina PRX_BIN_DIR e PRX_BENCH_DB (veja scripts/run-bench.sh)");
    QTemporaryDir dir;
    const QString db = dir.filePath("vigencia-grande.db");
    if (!freshCopy(source, db))
        fail("não foi possível copiar " + source);
    const Period period = fillPeriod(db);

    QProcess server;
    const int port = startServer(server, bin, db);
    if (port == 0)
        fail("prx-server não iniciou");
    // The server logs a line per call with its own time: "… METHOD 12.3 ms ok".
    QHash<QString, double> serverMs;
    server.setReadChannel(QProcess::StandardError);
    QObject::connect(&server, &QProcess::readyReadStandardError, &server, [&] {
        while (server.canReadLine()) {
            const QStringList words =
                QString::fromUtf8(server.readLine()).simplified().split(QLatin1Char(' '));
            const int unit = int(words.indexOf(QStringLiteral("ms")));
            if (unit >= 2)
                serverMs[words[unit - 2].section(QLatin1Char('.'), -1)] +=
                    words[unit - 1].toDouble();
        }
    });

    HostState &host = HostState::instance();
    host.serverHost = "127.0.0.1";
    host.serverPort = port;
    host.branchCode = "0001";
    host.branchName = "Restaurante Centro";
    QString error;
    if (!HostDatabase::open(db, &error))
        fail(error);

    Cli_prx51700::CriaTabePreco();
    TfrmTabePreco *form = Cli_prx51700::frmTabePreco;
    if (!form || !waitFor([form] { return form->isVisible(); }))
        fail("a tela não abriu");
    form->resize(1280, 800);
    form->activateWindow();
    form->medCdFilial->setFocus();
    waitFor([form] { return form->medCdFilial->hasFocus(); });
    pressTab(form->medCdFilial);
    if (!waitFor([form] { return form->cdsTabeVend->isActive(); }))
        fail("as vigências da filial 0001 não carregaram");
    const QDateTime start = HostDatabase::readDateTime(period.start);
    int row = -1;
    for (int r = 0; r < form->cdsTabeVend->recordCount() && row < 0; ++r) {
        form->cdsTabeVend->moveTo(r);
        if (form->cdsTabeVendDTINIVGPREC->asDateTime() == start)
            row = r;
    }
    if (row < 0)
        fail("a vigência " + period.start + " não está na lista");

    Marks marks;
    MarkingHostUi marking(HostUi::instance(), marks);
    HostUi::install(&marking);
    markOpen(form->cdsItemPreco, QStringLiteral("itens"), marks);
    markOpen(form->cdsPrecoHora, QStringLiteral("precos"), marks);
    const qint64 residentBeforeKb = residentKb();

    QElapsedTimer &timer = marks.clock;
    timer.start();
    serverMs.clear();
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    marks.mark(QStringLiteral("pageChanged"));
    // Shown: both grids painted with what they hold.
    QApplication::processEvents();
    marks.mark(QStringLiteral("events"));
    form->dbsItemPreco->repaint();
    form->dbgPrecoHora->repaint();
    const double openMs = timer.nsecsElapsed() / 1e6;
    marks.mark(QStringLiteral("shown"));
    HostUi::install(nullptr);
    const int items = form->cdsItemPreco->recordCount();
    const int prices = form->cdsPrecoHora->data().rowCount();
    const int shown = form->cdsPrecoHora->recordCount();

    waitFor([&] { return serverMs.contains(QStringLiteral("GetPrecoHora")); });
    const QHash<QString, double> openServerMs = serverMs;

    const QString shot = qEnvironmentVariable(
        "PRX_BENCH_SHOT", QDir::current().filePath("prx51700-vigencia-grande.png"));
    QApplication::processEvents();
    const bool saved = form->grab().save(shot);

    const QString where = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                         "DTINIVGPREC = '%1'")
                              .arg(period.start);
    const double toolMs =
        sqliteToolMs(db, kServerSqliteSettings + "SELECT * FROM ITEMPRECO WHERE " + where +
                             "; SELECT * FROM ITEMPRECODIA WHERE " + where + ";");

    std::printf("vigência de %d itens e %d preços diferenciados (%d na tela, %d do item)\n",
                period.items, period.dayPrices, items, shown);
    std::printf("troca de página até as grades mostradas: %.0f ms (meta <= 3000 ms)\n", openMs);
    QStringList calls;
    for (auto it = openServerMs.cbegin(); it != openServerMs.cend(); ++it)
        calls << QStringLiteral("%1 %2 ms").arg(it.key()).arg(it.value(), 0, 'f', 0);
    calls.sort();
    std::printf("  no servidor: %s\n", qPrintable(calls.join(QStringLiteral(", "))));
    // Where the client's time went; each line is a span between two moments.
    const struct
    {
        const char *text;
        const char *from;
        const char *to;
    } spans[] = {
        {"até o primeiro pedido (indicação de ocupado)", nullptr, "busyOn"},
        {"GetItemPreco como o cliente o vê", "busyOn", "itens.answer"},
        {"abertura dos itens", "itens.answer", "itens.opened"},
        {"primeira troca de linha dos itens", "itens.scroll", "itens.scrolled"},
        {"GetPrecoHora como o cliente o vê", "itens.scrolled", "precos.answer"},
        {"abertura dos preços diferenciados (filtro e índice)", "precos.answer", "precos.opened"},
        {"primeira troca de linha dos preços", "precos.scroll", "precos.scrolled"},
        {"do fim da leitura ao fim da troca de página", "busyOff", "pageChanged"},
        {"eventos pendentes", "pageChanged", "events"},
        {"pintura das grades", "events", "shown"},
    };
    for (const auto &s : spans) {
        const double ms = s.from
                              ? marks.span(QString::fromLatin1(s.from), QString::fromLatin1(s.to))
                              : marks.at.value(QString::fromLatin1(s.to), -1);
        std::printf("    %s: %.0f ms\n", s.text, ms);
    }
    std::printf("sqlite3 lendo as mesmas linhas para /dev/null: %.0f ms (razão %.2f)\n", toolMs,
                openMs / toolMs);
    std::printf("pico de memória residente do cliente: %lld kB (residente antes da troca de "
                "página: %lld kB)\n",
                peakResidentKb(), residentBeforeKb);
    std::printf("  preços diferenciados no conjunto de dados: %lld kB (as linhas: %lld kB), "
                "itens: %lld kB\n",
                form->cdsPrecoHora->bytesUsed() / 1024,
                form->cdsPrecoHora->data().bytesUsed() / 1024,
                form->cdsItemPreco->bytesUsed() / 1024);
    std::printf("imagem: %s%s\n", qPrintable(shot), saved ? "" : " (não gravada)");
    if (prices != period.dayPrices)
        fail(QStringLiteral("a tela carregou %1 preços diferenciados de %2")
                 .arg(prices)
                 .arg(period.dayPrices));

    form->close();
    HostDatabase::close();
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
