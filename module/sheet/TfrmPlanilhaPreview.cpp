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
    ColSheet,
    ColumnCount
};
}

TfrmPlanilhaPreview::TfrmPlanilhaPreview(const sheet::ImportAnswer &answer, const QString &fileName,
                                         QWidget *parent, const sheet::DayPriceAnswer *dayPrices)
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
    lblResumoDif = new QLabel(this);
    lblResumoDif->setObjectName(QStringLiteral("lblResumoDif"));
    lblAviso = new QLabel(QStringLiteral("Nada foi gravado ainda. \"Importar\" grava os preços "
                                         "novos e alterados; as linhas recusadas ficam de fora."),
                          this);
    lblAviso->setObjectName(QStringLiteral("lblAviso"));
    lblAviso->setWordWrap(true);

    grdPrevia = new QTableWidget(0, ColumnCount, this);
    grdPrevia->setObjectName(QStringLiteral("grdPrevia"));
    grdPrevia->setHorizontalHeaderLabels({QStringLiteral("Linha"), QStringLiteral("Código"),
                                          QStringLiteral("Produto"), QStringLiteral("Situação"),
                                          QStringLiteral("Detalhe"), QStringLiteral("Planilha")});
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
    layout->addWidget(lblResumoDif);
    layout->addWidget(grdPrevia, 1);
    layout->addWidget(lblAviso);
    layout->addLayout(buttons);

    fill(answer, dayPrices);
    resize(860, 460);
}

void TfrmPlanilhaPreview::fill(const sheet::ImportAnswer &answer,
                               const sheet::DayPriceAnswer *dayPrices)
{
    lblResumo->setText((dayPrices ? QStringLiteral("Itens: ") : QString()) +
                       sheet::importSummary(answer));
    int accepted = answer.count(u"N") + answer.count(u"A");
    lblResumoDif->setVisible(dayPrices);
    addLines(*answer.lines, QStringLiteral("Itens"));
    if (dayPrices) {
        QString text = QStringLiteral("Preços diferenciados: ") + dayPrices->summary();
        const int all = dayPrices->added + dayPrices->changed + dayPrices->refused;
        if (dayPrices->lines->rowCount() < all)
            text += QStringLiteral(" (listadas as primeiras %1 linhas)")
                        .arg(dayPrices->lines->rowCount());
        lblResumoDif->setText(text);
        accepted += dayPrices->added + dayPrices->changed;
        addLines(*dayPrices->lines, QStringLiteral("Preços diferenciados"));
    }
    // Items and differentiated prices are written together or not at all:
    // with a refused row the server would write nothing, so say so here.
    const int refused = dayPrices ? answer.count(u"R") + dayPrices->refused : 0;
    if (refused > 0) {
        lblAviso->setText(QStringLiteral("Nada foi gravado. Itens e preços diferenciados são "
                                         "gravados juntos, tudo ou nada: corrija as linhas "
                                         "recusadas na planilha e importe de novo."));
        lblAviso->setStyleSheet(QStringLiteral("color: #B00000;"));
    }
    btnImportar->setEnabled(accepted > 0 && refused == 0);
    grdPrevia->resizeColumnsToContents();
    if (grdPrevia->columnWidth(ColName) > 260)
        grdPrevia->setColumnWidth(ColName, 260);
    if (grdPrevia->columnWidth(ColDetail) > 480)
        grdPrevia->setColumnWidth(ColDetail, 480);
}

void TfrmPlanilhaPreview::addLines(const DataPacket &lines, const QString &sheet)
{
    const int cLine = lines.indexOf(u"NRLINHA"), cCode = lines.indexOf(u"CDPRODUTO"),
              cName = lines.indexOf(u"NMPRODUTO"), cOutcome = lines.indexOf(u"IDSITUACAO"),
              cDetail = lines.indexOf(u"DSDETALHE");
    const int first = grdPrevia->rowCount();
    grdPrevia->setRowCount(first + lines.rowCount());
    for (int r = 0; r < lines.rowCount(); ++r) {
        const QString outcome = lines.string(r, cOutcome);
        const QString shown = outcome == u"N"   ? QStringLiteral("Novo")
                              : outcome == u"A" ? QStringLiteral("Alterado")
                                                : QStringLiteral("Recusado");
        const QStringList texts = {QString::number(lines.integer(r, cLine)),
                                   lines.string(r, cCode),
                                   lines.string(r, cName),
                                   shown,
                                   lines.string(r, cDetail),
                                   sheet};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            if (c == ColLine)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (outcome == u"R")
                item->setForeground(QColor(0xB0, 0x00, 0x00));
            else if (outcome == u"N")
                item->setForeground(QColor(0x00, 0x55, 0xAA));
            item->setToolTip(texts[ColDetail]);
            grdPrevia->setItem(first + r, c, item);
        }
    }
}

} // namespace prx
