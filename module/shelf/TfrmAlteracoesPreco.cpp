#include "shelf/TfrmAlteracoesPreco.h"

#include "shelf/ShelfChangeList.h"

#include "dataset/Abort.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "report/ReportProgress.h"
#include "services/HostUi.h"
#include "services/UserAction.h"
#include "widgets/TDateEditPlus.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace prx {

namespace shelf {

void CriaAlteracoesPreco(const AlteracoesPrecoRequest &request)
{
    TfrmAlteracoesPreco *form = package::buildDialog<TfrmAlteracoesPreco>();
    form->setRequest(request);
    package::execModal(form);
}

} // namespace shelf

namespace {

const QString kTitle = QStringLiteral("Alterações de preço para etiquetas");
const QString kPageText = QStringLiteral("Gerando a página %1 de %2...");

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QString momentText(const QDateTime &at)
{
    return at.toString(u"dd/MM/yyyy HH:mm");
}

QString issuedText()
{
    return QStringLiteral("Emitido em %1")
        .arg(QDateTime::currentDateTime().toString(u"dd/MM/yyyy 'às' HH:mm"));
}

} // namespace

TfrmAlteracoesPreco::TfrmAlteracoesPreco(QWidget *parent) : FormDialog(parent)
{
    setObjectName(QStringLiteral("frmAlteracoesPreco"));
    setWindowTitle(kTitle);

    lblTabela = new QLabel(this);
    lblTabela->setObjectName(QStringLiteral("lblTabela"));
    QFont strong = lblTabela->font();
    strong.setBold(true);
    lblTabela->setFont(strong);

    auto *compare = new QGroupBox(QStringLiteral("Comparar o preço vigente"), this);
    rbtMomentos = new QRadioButton(QStringLiteral("Entre dois &momentos"), compare);
    rbtMomentos->setObjectName(QStringLiteral("rbtMomentos"));
    rbtMomentos->setChecked(true);
    dtpDe = new TDateEditPlus(compare);
    dtpDe->setObjectName(QStringLiteral("dtpDe"));
    dtpDe->setTimeShown(true);
    dtpAte = new TDateEditPlus(compare);
    dtpAte->setObjectName(QStringLiteral("dtpAte"));
    dtpAte->setTimeShown(true);
    rbtProximo = new QRadioButton(
        QStringLiteral("&Agora e o início do próximo período aprovado da tabela"), compare);
    rbtProximo->setObjectName(QStringLiteral("rbtProximo"));
    auto *moments = new QFormLayout;
    moments->setContentsMargins(24, 0, 0, 0);
    moments->addRow(QStringLiteral("&De:"), dtpDe);
    moments->addRow(QStringLiteral("A&té:"), dtpAte);
    auto *compareLayout = new QVBoxLayout(compare);
    compareLayout->addWidget(rbtMomentos);
    compareLayout->addLayout(moments);
    compareLayout->addWidget(rbtProximo);
    auto *note = new QLabel(QStringLiteral("Preço da modalidade geral, para todos os tipos de "
                                           "consumidor, como a etiqueta mostra."),
                            compare);
    note->setWordWrap(true);
    compareLayout->addWidget(note);

    chbRegras = new QCheckBox(QStringLiteral("Mostrar a &regra que decidiu cada preço"), this);
    chbRegras->setObjectName(QStringLiteral("chbRegras"));

    edtArquivo = new QLineEdit(this);
    edtArquivo->setObjectName(QStringLiteral("edtArquivo"));
    edtArquivo->setMinimumWidth(320);
    btnArquivo = button(this, "btnArquivo", QStringLiteral("..."));
    btnArquivo->setToolTip(QStringLiteral("Escolher o arquivo PDF"));
    btnArquivo->setMaximumWidth(40);
    auto *file = new QHBoxLayout;
    file->addWidget(new QLabel(QStringLiteral("Arquivo PDF:"), this));
    file->addWidget(edtArquivo, 1);
    file->addWidget(btnArquivo);

    btnVisualizar = button(this, "btnVisualizar", QStringLiteral("&Visualizar"));
    btnSalvarPdf = button(this, "btnSalvarPdf", QStringLiteral("&Salvar PDF"));
    btnFechar = button(this, "btnFechar", QStringLiteral("&Fechar"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnVisualizar);
    buttons->addWidget(btnSalvarPdf);
    buttons->addWidget(btnFechar);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTabela);
    layout->addWidget(compare);
    layout->addWidget(chbRegras);
    layout->addLayout(file);
    layout->addStretch(1);
    layout->addLayout(buttons);

    auto guarded = [this](void (TfrmAlteracoesPreco::*handler)()) {
        return [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); };
    };
    connect(btnVisualizar, &QPushButton::clicked, this,
            guarded(&TfrmAlteracoesPreco::btnVisualizarClick));
    connect(btnSalvarPdf, &QPushButton::clicked, this,
            guarded(&TfrmAlteracoesPreco::btnSalvarPdfClick));
    connect(btnArquivo, &QPushButton::clicked, this,
            guarded(&TfrmAlteracoesPreco::btnArquivoClick));
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
    connect(rbtMomentos, &QRadioButton::toggled, this, [this] { updateMoments(); });
}

TfrmAlteracoesPreco::~TfrmAlteracoesPreco() = default;

void TfrmAlteracoesPreco::setRequest(const AlteracoesPrecoRequest &request)
{
    m_request = request;
    lblTabela->setText(
        QStringLiteral("Filial %1 - Tabela %2").arg(request.branch, request.tableLabel));
    // The usual question: what changes from now to tomorrow's opening.
    const QDateTime now = wallClockNow();
    dtpDe->setDateTime(wallClock(now.date(), QTime(now.time().hour(), now.time().minute())));
    dtpAte->setDateTime(wallClock(now.date().addDays(1)));
    edtArquivo->setText(QDir::homePath() + QStringLiteral("/alteracoes-de-preco.pdf"));
    updateMoments();
}

void TfrmAlteracoesPreco::updateMoments()
{
    dtpDe->setEnabled(rbtMomentos->isChecked());
    dtpAte->setEnabled(rbtMomentos->isChecked());
}

std::unique_ptr<shelf::ShelfChangeList> TfrmAlteracoesPreco::loadList()
{
    if (!m_request.net)
        throw std::runtime_error("Sem conexão com o servidor de aplicação.");
    QVariant payload;
    if (rbtMomentos->isChecked()) {
        dtpDe->CheckValidDate(true);
        dtpAte->CheckValidDate(true);
        const QDateTime from = wallClock(dtpDe->dateTime()), to = wallClock(dtpAte->dateTime());
        if (to <= from) {
            dtpAte->setFocus();
            MensErro(QStringLiteral("O momento final deve ser posterior ao inicial."), true);
        }
        BusyScope busy(6);
        payload =
            CheckResultServ(m_request.net->call(QStringLiteral("GetAlteracoesPreco"),
                                                {m_request.branch, m_request.table, from, to}),
                            true, 0);
    } else {
        BusyScope busy(6);
        payload = CheckResultServ(
            m_request.net->call(QStringLiteral("GetAlteracoesPrecoProxVig"),
                                {m_request.branch, m_request.table, wallClockNow()}),
            true, 0);
    }
    auto list = std::make_unique<shelf::ShelfChangeList>(payload);
    if (list->rowCount() == 0) {
        HostUi::instance().messageBox(QStringLiteral("Nenhum produto muda de preço de %1 a %2.")
                                          .arg(momentText(list->from()), momentText(list->to())),
                                      MsgKind::Information, {MsgOk});
        throw Abort();
    }
    list->setShowRules(chbRegras->isChecked());
    return list;
}

void TfrmAlteracoesPreco::btnVisualizarClick()
{
    const std::unique_ptr<shelf::ShelfChangeList> list = loadList();
    report::ReportProgress progress(this, kTitle, kPageText);
    list->report(m_request.tableLabel, issuedText()).preview(progress.callback());
}

void TfrmAlteracoesPreco::btnSalvarPdfClick()
{
    if (edtArquivo->text().trimmed().isEmpty()) {
        edtArquivo->setFocus();
        MensErro(QStringLiteral("Informe o arquivo PDF."), true);
    }
    const QString path = QFileInfo(edtArquivo->text().trimmed()).absoluteFilePath();
    const std::unique_ptr<shelf::ShelfChangeList> list = loadList();
    report::ReportProgress progress(this, kTitle, kPageText);
    QString error;
    switch (list->report(m_request.tableLabel, issuedText())
                .writePdf(path, &error, progress.callback())) {
    case report::PagedTableReport::Outcome::Written:
        HostUi::instance().messageBox(QStringLiteral("Alterações de preço gravadas em %1.")
                                          .arg(QDir::toNativeSeparators(path)),
                                      MsgKind::Information, {MsgOk});
        break;
    case report::PagedTableReport::Outcome::Cancelled:
        break; // the user knows; nothing was written
    case report::PagedTableReport::Outcome::Failed:
        edtArquivo->setFocus();
        MensErro(QStringLiteral("Não foi possível gravar o arquivo PDF %1: %2")
                     .arg(QDir::toNativeSeparators(path), error),
                 true);
    }
}

void TfrmAlteracoesPreco::btnArquivoClick()
{
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Salvar alterações de preço"),
                                     edtArquivo->text(), QStringLiteral("Arquivos PDF (*.pdf)"));
    if (!chosen.isEmpty())
        edtArquivo->setText(chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)
                                ? chosen
                                : chosen + QStringLiteral(".pdf"));
}

} // namespace prx
