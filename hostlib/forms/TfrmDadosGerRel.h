#pragma once

#include "FormDialog.h"

#include <memory>

class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;

namespace Ui {
class TfrmDadosGerRel;
}

namespace prx {

// The base of the report dialogs: a title, an area for the report's
// parameters and a "Visualizar" button that shows the report.
class TfrmDadosGerRel : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmDadosGerRel(QWidget *parent = nullptr);
    ~TfrmDadosGerRel() override;

    void setTitle(const QString &title);
    QString title() const;
    void setScreenCode(const QString &code);
    // Adds a labelled control to the parameters area.
    void addParameter(const QString &label, QWidget *control);

    virtual void btnVisualizarClick();

    QLabel *lblTitulo;
    QGroupBox *grbParametros;
    QFormLayout *layParametros;
    QPushButton *btnVisualizar;
    QPushButton *btnFechar;
    QLabel *lblCodTela;

private:
    std::unique_ptr<Ui::TfrmDadosGerRel> m_ui;
};

} // namespace prx
