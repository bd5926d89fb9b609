#include "sheet/TfrmPlanilhaPreview.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace prx {

namespace {
enum Column
{
    ColLine,
    ColCode,
    ColName,
    ColOutcome,
    ColDetail,
    ColumnCount
};
}

TfrmPlanilhaPreview::TfrmPlanilhaPreview(const sheet::ImportAnswer &answer, const QString &fileName,
                                         QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPlanilhaPreview"));
    setWindowTitle(QStringLiteral("Importar planilha"));
    setModal(true);

    lblArquivo = new QLabel(
        QStringLiteral("Arquivo: <b>%1</b>").arg(QFileInfo(fileName).fileName().toHtmlEscaped()),
        this);
    lblArquivo->setObjectName(QStringLiteral("lblArquivo"));
    lblResumo = new QLabel(this);
    lblResumo->setObjectName(QStringLiteral("lblResumo"));
    auto *hint = new QLabel(QStringLiteral("Nada foi gravado ainda. \"Importar\" grava os preços "
                                           "novos e alterados; as linhas recusadas ficam de fora."),
                            this);
    hint->setWordWrap(true);

    grdPrevia = new QTableWidget(0, ColumnCount, this);
    grdPrevia->setObjectName(QStringLiteral("grdPrevia"));
    grdPrevia->setHorizontalHeaderLabels({QStringLiteral("Linha"), QStringLiteral("Código"),
                                          QStringLiteral("Produto"), QStringLiteral("Situação"),
                                          QStringLiteral("Detalhe")});
    grdPrevia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPrevia->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPrevia->verticalHeader()->hide();
    grdPrevia->horizontalHeader()->setStretchLastSection(true);

    btnImportar = new QPushButton(QStringLiteral("&Importar"), this);
    btnImportar->setObjectName(QStringLiteral("btnImportar"));
    btnCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    btnCancelar->setObjectName(QStringLiteral("btnCancelar"));
    btnCancelar->setDefault(true); // Enter must not write by accident
    connect(btnImportar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnImportar);
    buttons->addWidget(btnCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblArquivo);
    layout->addWidget(lblResumo);
    layout->addWidget(grdPrevia, 1);
    layout->addWidget(hint);
    layout->addLayout(buttons);

    fill(answer);
    resize(860, 460);
}

void TfrmPlanilhaPreview::fill(const sheet::ImportAnswer &answer)
{
    lblResumo->setText(sheet::importSummary(answer));
    const int accepted = answer.count(u"N") + answer.count(u"A");
    btnImportar->setEnabled(accepted > 0);

    const DataPacket &lines = *answer.lines;
    const int cLine = lines.indexOf(u"NRLINHA"), cCode = lines.indexOf(u"CDPRODUTO"),
              cName = lines.indexOf(u"NMPRODUTO"), cOutcome = lines.indexOf(u"IDSITUACAO"),
              cDetail = lines.indexOf(u"DSDETALHE");
    grdPrevia->setRowCount(lines.rowCount());
    for (int r = 0; r < lines.rowCount(); ++r) {
        const QString outcome = lines.string(r, cOutcome);
        const QString shown = outcome == u"N"   ? QStringLiteral("Novo")
                              : outcome == u"A" ? QStringLiteral("Alterado")
                                                : QStringLiteral("Recusado");
        const QStringList texts = {QString::number(lines.integer(r, cLine)), lines.string(r, cCode),
                                   lines.string(r, cName), shown, lines.string(r, cDetail)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            if (c == ColLine)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (outcome == u"R")
                item->setForeground(QColor(0xB0, 0x00, 0x00));
            else if (outcome == u"N")
                item->setForeground(QColor(0x00, 0x55, 0xAA));
            item->setToolTip(texts[ColDetail]);
            grdPrevia->setItem(r, c, item);
        }
    }
    grdPrevia->resizeColumnsToContents();
    if (grdPrevia->columnWidth(ColName) > 260)
        grdPrevia->setColumnWidth(ColName, 260);
}

} // namespace prx
