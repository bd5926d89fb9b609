#include "FindWindow.h"

#include "dataset/ClientDataSet.h"
#include "services/EditMask.h"
#include "services/HostUi.h"
#include "services/UserAction.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace prx {

FindWindow::FindWindow(ClientDataSet &dataSet, QWidget *parent)
    : QDialog(parent), m_dataSet(dataSet)
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Procurar"));
    setModal(true);

    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("cmbCampo"));
    for (int i = 0; i < dataSet.fieldCount(); ++i) {
        const Field &f = dataSet.field(i);
        if (f.isVisible())
            m_field->addItem(f.displayLabel(), i);
    }
    m_value = new QLineEdit(this);
    m_value->setObjectName(QStringLiteral("edtValor"));

    m_find = new QPushButton(QStringLiteral("&Procurar"), this);
    m_find->setObjectName(QStringLiteral("btnProcurar"));
    m_find->setDefault(true);
    m_next = new QPushButton(QStringLiteral("Pró&ximo"), this);
    m_next->setObjectName(QStringLiteral("btnProximo"));
    auto *close = new QPushButton(QStringLiteral("&Fechar"), this);
    close->setObjectName(QStringLiteral("btnFechar"));
    m_next->setAutoDefault(false);
    close->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Campo:"), m_field);
    form->addRow(QStringLiteral("&Valor:"), m_value);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_find);
    buttons->addWidget(m_next);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_find, &QPushButton::clicked, this, [this] { search(false); });
    connect(m_next, &QPushButton::clicked, this, [this] { search(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    resize(380, sizeHint().height());
    m_value->setFocus();
}

int FindWindow::findFrom(int fieldIndex, const QString &value, int from) const
{
    if (fieldIndex < 0 || fieldIndex >= m_dataSet.fieldCount())
        return -1;
    const Field &f = m_dataSet.field(fieldIndex);
    const bool masked = f.type() == FieldType::String && !f.editMask().isEmpty();
    const EditMask mask(masked ? f.editMask() : QString());
    const QString wanted = value.trimmed();
    const int count = m_dataSet.recordCount();
    for (int r = qMax(0, from); r < count; ++r) {
        // The value may be typed as shown (masked, formatted) or as stored.
        const QString shown = m_dataSet.displayTextAt(r, fieldIndex);
        if (shown.startsWith(wanted, Qt::CaseInsensitive))
            return r;
        const QString edit = m_dataSet.editTextAt(r, fieldIndex);
        if (edit.startsWith(wanted, Qt::CaseInsensitive))
            return r;
        if (masked && mask.format(edit).startsWith(wanted, Qt::CaseInsensitive))
            return r;
    }
    return -1;
}

void FindWindow::search(bool next)
{
    runUserAction([&] {
        const int fieldIndex = m_field->currentData().toInt();
        const int from = next ? m_dataSet.currentRow() + 1 : 0;
        const int row = findFrom(fieldIndex, m_value->text(), from);
        if (row < 0) {
            HostUi::instance().messageBox(QStringLiteral("Registro não encontrado."),
                                          MsgKind::Information, {MsgOk});
            return;
        }
        m_dataSet.moveTo(row);
        if (!next)
            accept();
    });
}

} // namespace prx
