#pragma once

#include "FormDialog.h"

#include "services/Messages.h"

#include <memory>

class QGroupBox;
class QFrame;
class QLabel;

namespace Ui {
class TfrmRotiGeral;
}

namespace prx {

class TButtonFlat;

// The routine dialog: a body where the routine puts its controls, a confirm
// button that runs the routine and a close button, with the screen code at
// the bottom. Modal; closing it frees it.
class TfrmRotiGeral : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmRotiGeral(QWidget *parent = nullptr);
    ~TfrmRotiGeral() override;

    void setCaption(const QString &caption) { setWindowTitle(caption); }
    QString caption() const { return windowTitle(); }
    void setScreenCode(const QString &code);
    QString screenCode() const;

    virtual void sbtConfirmaClick();
    virtual void sbtFecharClick(); // closes the dialog

    QGroupBox *grbCorpo;
    QFrame *panBotoes;
    TButtonFlat *sbtConfirma;
    TButtonFlat *sbtFechar;
    QLabel *lblCodTela;
    TMessages msgPadrao;

private:
    std::unique_ptr<Ui::TfrmRotiGeral> m_ui;
};

} // namespace prx
