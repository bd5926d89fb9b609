#pragma once

#include "sheet/PeriodCalls.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace prx {

// What importing a spreadsheet would change, before anything is written:
// the new and changed prices and the refused rows with their reasons, of
// the items and, when the file has them, of the differentiated prices (the
// last column says which sheet a row comes from). The user confirms with
// "Importar" (accepted) or gives up with "Cancelar".
class TfrmPlanilhaPreview : public QDialog
{
    Q_OBJECT

public:
    TfrmPlanilhaPreview(const sheet::ImportAnswer &answer, const QString &fileName,
                        QWidget *parent = nullptr,
                        const sheet::DayPriceAnswer *dayPrices = nullptr);

    QLabel *lblArquivo;       // owned (child)
    QLabel *lblResumo;        // owned (child)
    QLabel *lblResumoDif;     // owned (child); hidden without differentiated prices
    QLabel *lblAviso;         // owned (child); what "Importar" will write
    QTableWidget *grdPrevia;  // owned (child)
    QPushButton *btnImportar; // owned (child)
    QPushButton *btnCancelar; // owned (child)

private:
    void fill(const sheet::ImportAnswer &answer, const sheet::DayPriceAnswer *dayPrices);
    void addLines(const DataPacket &lines, const QString &sheet);
};

} // namespace prx
