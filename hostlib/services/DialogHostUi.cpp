#include "DialogHostUi.h"

#include "BusyIndicator.h"
#include "net/CheckResultServ.h"
#include "widgets/SearchWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace prx {

namespace {

// Hides the busy veil while a modal window is up, whatever way it closes.
class ModalScope
{
public:
    explicit ModalScope(BusyIndicator *busy) : m_busy(busy) { m_busy->suspend(); }
    ~ModalScope()
    {
        if (m_busy)
            m_busy->resume();
    }
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;

private:
    QPointer<BusyIndicator> m_busy;
};

QMessageBox::ButtonRole roleOf(int button)
{
    switch (button) {
    case MsgYes:
        return QMessageBox::YesRole;
    case MsgNo:
        return QMessageBox::NoRole;
    case MsgCancel:
        return QMessageBox::RejectRole;
    default:
        return QMessageBox::AcceptRole;
    }
}

QString buttonName(int button)
{
    switch (button) {
    case MsgYes:
        return QStringLiteral("btnSim");
    case MsgNo:
        return QStringLiteral("btnNao");
    case MsgCancel:
        return QStringLiteral("btnCancelar");
    default:
        return QStringLiteral("btnOK");
    }
}

QMessageBox::Icon iconFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Information:
        return QMessageBox::Information;
    case MsgKind::Warning:
        return QMessageBox::Warning;
    case MsgKind::Error:
        return QMessageBox::Critical;
    case MsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

DialogHostUi::DialogHostUi(QWidget *mainWindow)
    : m_mainWindow(mainWindow), m_busy(new BusyIndicator(mainWindow))
{
}

DialogHostUi::~DialogHostUi()
{
    if (m_installed && &HostUi::instance() == this) {
        HostUi::install(nullptr);
        setServerErrorReporter({});
    }
    delete m_busy;
}

void DialogHostUi::install()
{
    HostUi::install(this);
    setServerErrorReporter([this](const QString &message) { errorBox(message); });
    m_installed = true;
}

void DialogHostUi::setMainWindow(QWidget *mainWindow)
{
    if (mainWindow == m_mainWindow)
        return;
    m_mainWindow = mainWindow;
    // The veil belongs to the window it covers; requests still open move
    // with it so that their stops still balance.
    BusyIndicator *old = busy();
    const int depth = old->depth();
    QList<QPair<int, QString>> open;
    for (int i = 0; i < depth; ++i) {
        open.prepend({old->kind(), old->text()});
        old->stop();
    }
    delete old;
    m_busy = new BusyIndicator(mainWindow);
    for (const auto &r : std::as_const(open))
        m_busy->start(r.first, r.second);
}

QString DialogHostUi::buttonText(int button)
{
    switch (button) {
    case MsgYes:
        return QStringLiteral("Sim");
    case MsgNo:
        return QStringLiteral("Não");
    case MsgCancel:
        return QStringLiteral("Cancelar");
    default:
        return QStringLiteral("OK");
    }
}

QString DialogHostUi::titleFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Information:
        return QStringLiteral("Informação");
    case MsgKind::Warning:
        return QStringLiteral("Atenção");
    case MsgKind::Error:
        return QStringLiteral("Erro");
    case MsgKind::Confirmation:
        return QStringLiteral("Confirmação");
    }
    return {};
}

BusyIndicator *DialogHostUi::busy()
{
    if (!m_busy)
        m_busy = new BusyIndicator(m_mainWindow);
    return m_busy;
}

BusyIndicator *DialogHostUi::busyIndicator()
{
    return busy();
}

QWidget *DialogHostUi::dialogParent() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (m_mainWindow)
        return m_mainWindow;
    return QApplication::activeWindow();
}

int DialogHostUi::messageBox(const QString &text, MsgKind kind, const QList<int> &buttons)
{
    const QList<int> wanted = buttons.isEmpty() ? QList<int>{MsgOk} : buttons;
    QMessageBox box(iconFor(kind), titleFor(kind), text, QMessageBox::NoButton, dialogParent());
    box.setObjectName(QStringLiteral("prxMessageBox"));
    QList<QPair<QAbstractButton *, int>> codes;
    for (int b : wanted) {
        QPushButton *button = box.addButton(buttonText(b), roleOf(b));
        button->setObjectName(buttonName(b));
        codes.append({button, b});
    }
    box.setDefaultButton(qobject_cast<QPushButton *>(codes.first().first));
    // Closing the box is the cautious answer: no, else cancel, else the only
    // button there is.
    int escapeCode = wanted.first();
    for (int b : {MsgNo, MsgCancel}) {
        if (wanted.contains(b)) {
            escapeCode = b;
            break;
        }
    }
    for (const auto &c : std::as_const(codes)) {
        if (c.second == escapeCode)
            box.setEscapeButton(c.first);
    }

    ModalScope modal(busy());
    box.exec();
    for (const auto &c : std::as_const(codes)) {
        if (c.first == box.clickedButton())
            return c.second;
    }
    return escapeCode;
}

void DialogHostUi::errorBox(const QString &text)
{
    messageBox(text, MsgKind::Error, {MsgOk});
}

bool DialogHostUi::pesquisar(DataSource &source, const QString &title)
{
    ModalScope modal(busy());
    return SearchWindow::pesquisar(source, title);
}

bool DialogHostUi::pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                                 QString *list)
{
    ModalScope modal(busy());
    return SearchWindow::pesquisaLista(source, keyField, title, list);
}

void DialogHostUi::procura(ClientDataSet &dataSet)
{
    ModalScope modal(busy());
    SearchWindow::procura(dataSet);
}

void DialogHostUi::busyOn(int kind, const QString &text)
{
    busy()->start(kind, text);
}

void DialogHostUi::printPreview(const QString &title, const PagePainter &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog preview(&printer, dialogParent());
    preview.setWindowTitle(title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter *target) { paint(*target); });
    preview.exec();
}

void DialogHostUi::busyOff()
{
    busy()->stop();
}

int DialogHostUi::busyDepth() const
{
    return m_busy ? m_busy->depth() : 0;
}

} // namespace prx
