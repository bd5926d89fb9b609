#include "SearchWindow.h"

#include "FindWindow.h"
#include "SearchList.h"
#include "SearchModel.h"

#include "dataset/DataSource.h"
#include "services/HostUi.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace prx {

namespace {

QWidget *dialogParent()
{
    if (QWidget *main = HostUi::instance().mainWindow())
        return main;
    return QApplication::activeWindow();
}

bool showEmpty(const ClientDataSet *ds, const QString &title)
{
    if (ds && ds->isActive() && !ds->isEmpty())
        return false;
    QString message = SearchWindow::emptyMessageOf(title);
    if (message.trimmed().isEmpty())
        message = QStringLiteral("Não há registros para pesquisar.");
    HostUi::instance().messageBox(message, MsgKind::Information, {MsgOk});
    return true;
}

} // namespace

SearchWindow::SearchWindow(const ClientDataSet &dataSet, const QString &caption, Mode mode,
                           QWidget *parent)
    : QDialog(parent), m_dataSet(dataSet), m_mode(mode)
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Pesquisa") : caption);
    setModal(true);

    m_model = new SearchModel(dataSet, mode == Mode::Multiple, this);

    auto *findLabel = new QLabel(QStringLiteral("&Localizar:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("edtLocalizar"));
    m_filter->setPlaceholderText(QStringLiteral("Digite parte de qualquer coluna"));
    m_filter->setClearButtonEnabled(true);
    findLabel->setBuddy(m_filter);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grdPesquisa"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->setTabKeyNavigation(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->setStretchLastSection(true);

    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    int total = 0;
    if (mode == Mode::Multiple) {
        m_view->setColumnWidth(0, 28);
        total += 28;
    }
    for (int c = 0; c < m_model->fields().size(); ++c) {
        const int chars = qBound(4, dataSet.field(m_model->fields()[c]).displayWidth(), 40);
        const int column = c + m_model->firstFieldColumn();
        // Never narrower than the title needs.
        const int width =
            qMax(chars * digit + 16, m_view->horizontalHeader()->sectionSizeHint(column));
        m_view->setColumnWidth(column, width);
        total += width;
    }

    m_count = new QLabel(this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_count, 1);
    if (mode == Mode::Multiple) {
        auto *all = new QPushButton(QStringLiteral("&Marcar todos"), this);
        auto *none = new QPushButton(QStringLiteral("&Desmarcar todos"), this);
        all->setAutoDefault(false);
        none->setAutoDefault(false);
        connect(all, &QPushButton::clicked, this, [this] { m_model->markShown(true); });
        connect(none, &QPushButton::clicked, this, [this] { m_model->markShown(false); });
        buttons->addWidget(all);
        buttons->addWidget(none);
    }
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    auto *cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    m_ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto *top = new QHBoxLayout;
    top->addWidget(findLabel);
    top->addWidget(m_filter, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &SearchWindow::filterChanged);
    connect(m_ok, &QPushButton::clicked, this, &SearchWindow::choose);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (m_mode == Mode::Multiple)
            m_model->toggleMarked(index.row());
        else
            choose();
    });
    m_filter->installEventFilter(this);
    m_view->installEventFilter(this);

    resize(qBound(460, total + 40, 960), 440);
    setCurrentDataSetRow(dataSet.currentRow());
    updateCount();
    m_filter->setFocus();
}

SearchWindow::~SearchWindow() = default;

QString SearchWindow::captionOf(const QString &title)
{
    const int bar = title.indexOf(QLatin1Char('|'));
    return bar < 0 ? title : title.left(bar);
}

QString SearchWindow::emptyMessageOf(const QString &title)
{
    const int bar = title.indexOf(QLatin1Char('|'));
    return bar < 0 ? QString() : title.mid(bar + 1);
}

int SearchWindow::shownRowCount() const
{
    return m_model->rowCount();
}

int SearchWindow::currentDataSetRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? m_model->datasetRow(current.row()) : -1;
}

void SearchWindow::setCurrentDataSetRow(int row)
{
    int modelRow = m_model->modelRow(row);
    if (modelRow < 0 && m_model->rowCount() > 0)
        modelRow = 0;
    if (modelRow < 0)
        return;
    const QModelIndex index = m_model->index(modelRow, m_model->firstFieldColumn());
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QList<int> SearchWindow::chosenRows() const
{
    if (m_mode == Mode::Multiple) {
        const QList<int> marked = m_model->markedRows();
        if (!marked.isEmpty())
            return marked;
    }
    const int row = currentDataSetRow();
    return row < 0 ? QList<int>() : QList<int>{row};
}

void SearchWindow::filterChanged(const QString &text)
{
    const int keep = currentDataSetRow();
    m_model->setFilterText(text);
    setCurrentDataSetRow(keep);
    updateCount();
}

void SearchWindow::updateCount()
{
    const int shown = m_model->rowCount();
    m_count->setText(shown == 1 ? QStringLiteral("1 registro")
                                : QStringLiteral("%1 registros").arg(shown));
    m_ok->setEnabled(shown > 0 || (m_mode == Mode::Multiple && !m_model->markedRows().isEmpty()));
}

void SearchWindow::choose()
{
    if (chosenRows().isEmpty())
        return; // nothing under the cursor: the filter hides every row
    accept();
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (watched == m_filter) {
            // The cursor keys walk the list while the user goes on typing.
            QApplication::sendEvent(m_view, event);
            return true;
        }
        break;
    case Qt::Key_Space:
        if (watched == m_view && m_mode == Mode::Multiple) {
            if (m_view->currentIndex().isValid())
                m_model->toggleMarked(m_view->currentIndex().row());
            return true;
        }
        break;
    default:
        break;
    }
    if (watched == m_view && !key->text().isEmpty() && key->text().at(0).isPrint() &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        // Typing over the list goes on filtering.
        m_filter->setFocus();
        m_filter->insert(key->text());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool SearchWindow::pesquisar(DataSource &source, const QString &title)
{
    ClientDataSet *ds = source.dataSet();
    if (showEmpty(ds, title))
        return false;
    SearchWindow window(*ds, captionOf(title), Mode::Single, dialogParent());
    if (window.exec() != QDialog::Accepted)
        return false;
    const QList<int> rows = window.chosenRows();
    if (rows.isEmpty())
        return false;
    ds->moveTo(rows.first());
    return true;
}

bool SearchWindow::pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                                 QString *list)
{
    ClientDataSet *ds = source.dataSet();
    if (showEmpty(ds, title))
        return false;
    const Field &key = ds->fieldByName(keyField);
    SearchWindow window(*ds, captionOf(title), Mode::Multiple, dialogParent());
    if (list && !list->isEmpty()) {
        const QStringList previous = listKeys(*list);
        for (int r = 0; r < ds->recordCount(); ++r) {
            if (previous.contains(key.plainText(ds->valueAt(r, key.index())).trimmed()))
                window.model()->setMarked(r, true);
        }
    }
    if (window.exec() != QDialog::Accepted)
        return false;
    QStringList keys;
    for (int row : window.chosenRows())
        keys.append(key.plainText(ds->valueAt(row, key.index())));
    if (list)
        *list = listText(keys);
    return true;
}

void SearchWindow::procura(ClientDataSet &dataSet)
{
    if (!dataSet.isActive() || dataSet.isEmpty()) {
        HostUi::instance().messageBox(QStringLiteral("Não há registros para procurar."),
                                      MsgKind::Information, {MsgOk});
        return;
    }
    FindWindow window(dataSet, dialogParent());
    window.exec();
}

} // namespace prx
