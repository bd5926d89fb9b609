#pragma once

#include "sheet/PeriodCalls.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace prx {

// What importing a spreadsheet would change, before anything is written:
// the new and changed prices and the refused rows with their reasons. The
// user confirms with "Importar" (accepted) or gives up with "Cancelar".
class TfrmPlanilhaPreview : public QDialog
{
    Q_OBJECT

public:
    TfrmPlanilhaPreview(const sheet::ImportAnswer &answer, const QString &fileName,
                        QWidget *parent = nullptr);

    QLabel *lblArquivo;       // owned (child)
    QLabel *lblResumo;        // owned (child)
    QTableWidget *grdPrevia;  // owned (child)
    QPushButton *btnImportar; // owned (child)
    QPushButton *btnCancelar; // owned (child)

private:
    void fill(const sheet::ImportAnswer &answer);
};

} // namespace prx
