#include "TfrmPrecoVigente.h"

#include "money/PriceInForce.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "services/UserAction.h"
#include "widgets/TDateEditPlus.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace prx {

namespace inforce {

void CriaPrecoVigente(const PrecoVigenteRequest &request)
{
    TfrmPrecoVigente *form = package::buildDialog<TfrmPrecoVigente>();
    form->setRequest(request);
    package::execModal(form);
}

} // namespace inforce

namespace {

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QString situationText(const QString &code)
{
    static const QHash<QString, QString> texts = {
        {"PRECO", "Preço da tabela"},
        {"PRECO_DIFERENCIADO", "Preço diferenciado"},
        {"SEM_PERIODO", "Não vende: nenhum período aprovado vigente"},
        {"SEM_PRECO", "Não vende: produto sem preço no período"},
        {"SEM_PRECO_MODALIDADE", "Não vende: sem preço para a modalidade"},
        {"FORA_HORARIO", "Não vende: fora do horário de venda"}};
    return texts.value(code, code);
}

QString hourText(const QString &hhmm)
{
    return hhmm.size() == 4 ? hhmm.left(2) + u':' + hhmm.mid(2) : hhmm;
}

QString dateText(const QVariant &v)
{
    return v.isNull() ? QString() : v.toDateTime().date().toString(u"dd/MM/yyyy");
}

} // namespace

TfrmPrecoVigente::TfrmPrecoVigente(QWidget *parent) : FormDialog(parent)
{
    setObjectName(QStringLiteral("frmPrecoVigente"));
    setWindowTitle(QStringLiteral("Preço vigente"));
    resize(640, 560);

    lblProduto = valueLabel("lblProduto", this);
    QFont strong = lblProduto->font();
    strong.setBold(true);
    lblProduto->setFont(strong);
    lblTabela = valueLabel("lblTabela", this);

    auto *ask = new QGroupBox(QStringLiteral("Consulta"), this);
    dtpMomento = new TDateEditPlus(ask);
    dtpMomento->setObjectName(QStringLiteral("dtpMomento"));
    dtpMomento->setTimeShown(true);
    cmbTipoCons = new QComboBox(ask);
    cmbTipoCons->setObjectName(QStringLiteral("cmbTipoCons"));
    cmbModalidade = new QComboBox(ask);
    cmbModalidade->setObjectName(QStringLiteral("cmbModalidade"));
    for (inforce::Modality m :
         {inforce::Modality::General, inforce::Modality::Delivery, inforce::Modality::OrderPad})
        cmbModalidade->addItem(inforce::modalityName(m), inforce::modalityCode(m));
    btnConsultar = new QPushButton(QStringLiteral("&Consultar"), ask);
    btnConsultar->setObjectName(QStringLiteral("btnConsultar"));
    btnConsultar->setDefault(true);
    auto *askForm = new QFormLayout(ask);
    askForm->addRow(QStringLiteral("Momento:"), dtpMomento);
    askForm->addRow(QStringLiteral("Tipo de consumidor:"), cmbTipoCons);
    askForm->addRow(QStringLiteral("Modalidade:"), cmbModalidade);
    auto *askButtons = new QHBoxLayout;
    askButtons->addStretch(1);
    askButtons->addWidget(btnConsultar);
    askForm->addRow(askButtons);

    auto *result = new QGroupBox(QStringLiteral("Resposta"), this);
    lblPreco = valueLabel("lblPreco", result);
    QFont big = lblPreco->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblPreco->setFont(big);
    lblSituacao = valueLabel("lblSituacao", result);
    lblPeriodo = valueLabel("lblPeriodo", result);
    lblPrecoModalidade = valueLabel("lblPrecoModalidade", result);
    lblHorarioVenda = valueLabel("lblHorarioVenda", result);
    lblRegra = valueLabel("lblRegra", result);
    lblValidade = valueLabel("lblValidade", result);
    lblCriterio = valueLabel("lblCriterio", result);
    lblFeriado = valueLabel("lblFeriado", result);
    memExplicacao = new QPlainTextEdit(result);
    memExplicacao->setObjectName(QStringLiteral("memExplicacao"));
    memExplicacao->setReadOnly(true);
    memExplicacao->setFixedHeight(84);
    auto *resultForm = new QFormLayout;
    resultForm->addRow(QStringLiteral("Período:"), lblPeriodo);
    resultForm->addRow(QStringLiteral("Preço da modalidade:"), lblPrecoModalidade);
    resultForm->addRow(QStringLiteral("Horário de venda:"), lblHorarioVenda);
    resultForm->addRow(QStringLiteral("Regra aplicada:"), lblRegra);
    resultForm->addRow(QStringLiteral("Validade da regra:"), lblValidade);
    resultForm->addRow(QStringLiteral("Critério:"), lblCriterio);
    resultForm->addRow(QStringLiteral("Feriado:"), lblFeriado);
    auto *resultLayout = new QVBoxLayout(result);
    resultLayout->addWidget(lblPreco);
    resultLayout->addWidget(lblSituacao);
    resultLayout->addLayout(resultForm);
    resultLayout->addWidget(memExplicacao);

    btnFechar = new QPushButton(QStringLiteral("&Fechar"), this);
    btnFechar->setObjectName(QStringLiteral("btnFechar"));
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnConsultar, &QPushButton::clicked, this,
            [this] { runUserAction([this] { btnConsultarClick(); }); });

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnFechar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblProduto);
    layout->addWidget(lblTabela);
    layout->addWidget(ask);
    layout->addWidget(result, 1);
    layout->addLayout(bottom);
}

void TfrmPrecoVigente::setRequest(const PrecoVigenteRequest &request)
{
    m_request = request;
    lblProduto->setText(QStringLiteral("Produto: %1").arg(request.productLabel));
    lblTabela->setText(QStringLiteral("Filial %1 - Tabela %2").arg(request.branch, request.table));
    cmbTipoCons->clear();
    cmbTipoCons->addItem(QStringLiteral("Todos"), QStringLiteral("T"));
    for (const auto &[code, name] : request.consumerTypes) {
        if (code != u"T")
            cmbTipoCons->addItem(QStringLiteral("%1 - %2").arg(code, name), code);
    }
    dtpMomento->setDateTime(wallClockNow());
}

void TfrmPrecoVigente::btnConsultarClick()
{
    if (!m_request.net)
        throw std::runtime_error("Sem conexão com o servidor de aplicação.");
    dtpMomento->CheckValidDate(true);
    const QDateTime at = wallClock(dtpMomento->dateTime());
    QVariant payload;
    {
        BusyScope busy(6);
        payload = CheckResultServ(
            m_request.net->call(QStringLiteral("GetPrecoVigente"),
                                {m_request.branch, m_request.table, m_request.product, at,
                                 cmbTipoCons->currentData().toString(),
                                 cmbModalidade->currentData().toString()}),
            true, 0);
    }
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet || packet->rowCount() != 1)
        throw std::runtime_error("O servidor não devolveu o preço vigente.");
    showAnswer(*packet);
}

void TfrmPrecoVigente::showAnswer(const DataPacket &p)
{
    auto v = [&](const char16_t *name) { return p.value(0, p.indexOf(name)); };
    auto s = [&](const char16_t *name) { return v(name).toString(); };
    const bool sells = s(u"IDVENDA") == u"S";
    lblPreco->setText(sells ? QStringLiteral("R$ %1").arg(
                                  inforce::moneyText(Decimal::fromDouble(v(u"VRPRECO").toDouble())))
                            : QStringLiteral("Não vende"));
    lblSituacao->setText(situationText(s(u"IDSITUACAO")));
    if (v(u"DTINIVGPREC").isNull()) {
        lblPeriodo->setText(QStringLiteral("nenhum período aprovado"));
    } else {
        lblPeriodo->setText(QStringLiteral("%1 %2").arg(
            dateText(v(u"DTINIVGPREC")),
            v(u"DTFINVGPREC").isNull() ? QStringLiteral("sem data final")
                                       : QStringLiteral("a %1").arg(dateText(v(u"DTFINVGPREC")))));
    }
    lblPrecoModalidade->setText(v(u"VRPRECOMOD").isNull() ? QStringLiteral("-")
                                                          : inforce::moneyText(Decimal::fromDouble(
                                                                v(u"VRPRECOMOD").toDouble())));
    lblHorarioVenda->setText(s(u"HRINIVENPROD").isEmpty() ? QStringLiteral("sem restrição")
                                                          : QStringLiteral("%1 às %2")
                                                                .arg(hourText(s(u"HRINIVENPROD")),
                                                                     hourText(s(u"HRFIMVENPROD"))));
    if (s(u"NRDIASEMANPR").isEmpty()) {
        lblRegra->setText(QStringLiteral("nenhuma"));
        lblValidade->setText(QStringLiteral("-"));
        lblCriterio->setText(QStringLiteral("-"));
    } else {
        inforce::Candidate c;
        c.day = s(u"NRDIASEMANPR");
        c.consumer = s(u"CDTIPOCONSPD");
        c.hourFrom = s(u"HRINIPRECDIA");
        c.hourTo = s(u"HRFINPRECDIA");
        c.rule = {s(u"IDPERVALORPR") == u"P", s(u"IDDESCACREPR") == u"D"};
        const auto modality =
            inforce::modalityFromCode(s(u"IDMODALIDADE")).value_or(inforce::Modality::General);
        c.amount[int(modality)] = Decimal::fromDouble(v(u"VRPRECODIA").toDouble());
        lblRegra->setText(inforce::ruleText(c, modality));
        lblValidade->setText(
            v(u"DTFINVALPREC").isNull()
                ? QStringLiteral("a partir de %1").arg(dateText(v(u"DTINIVALPREC")))
                : QStringLiteral("%1 a %2").arg(dateText(v(u"DTINIVALPREC")),
                                                dateText(v(u"DTFINVALPREC"))));
        QString why = inforce::deciderText(inforce::deciderFromCode(s(u"IDCRITERIO")));
        if (v(u"NRREGRAS").toInt() > 1)
            why += QStringLiteral(" (%1)").arg(inforce::rulesCountText(v(u"NRREGRAS").toInt()));
        lblCriterio->setText(why);
    }
    QStringList holidays;
    if (!s(u"NMFERIADO").isEmpty())
        holidays << s(u"NMFERIADO");
    if (!s(u"NMVESPERA").isEmpty())
        holidays << QStringLiteral("véspera de %1").arg(s(u"NMVESPERA"));
    lblFeriado->setText(holidays.isEmpty() ? QStringLiteral("não") : holidays.join(u"; "));
    memExplicacao->setPlainText(s(u"DSEXPLICACAO"));
}

} // namespace prx
