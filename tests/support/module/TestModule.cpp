// A module for the loader's tests. Its IniProc says hello through the host's
// dialogs, shows a small form in the host's workspace, or fails the way a
// screen's creation fails, as the test asks through the environment.

#include "services/HostServices.h"
#include "services/HostUi.h"
#include "services/UserAction.h"

#include <QLabel>
#include <QVBoxLayout>

#include <stdexcept>

extern "C" Q_DECL_EXPORT void IniProc()
{
    if (qEnvironmentVariableIsSet("PRX_TEST_MODULE_ABANDON"))
        prx::MensErro(QStringLiteral("Falha ao criar a tela de teste."), true);
    if (qEnvironmentVariableIsSet("PRX_TEST_MODULE_THROW"))
        throw std::runtime_error("Erro inesperado no módulo de teste.");
    if (qEnvironmentVariableIsSet("PRX_TEST_MODULE_SHOW")) {
        auto *form = new QWidget;
        form->setObjectName(QStringLiteral("frmTesteModulo"));
        form->setWindowTitle(QStringLiteral("Tela de Teste"));
        form->setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(form);
        auto *label = new QLabel(QStringLiteral("Tela aberta pelo módulo de teste."), form);
        label->setObjectName(QStringLiteral("lblTeste"));
        layout->addWidget(label);
        prx::hostShowMdiChild(form);
        return;
    }
    prx::HostUi::instance().messageBox(QStringLiteral("Módulo de teste iniciado."),
                                       prx::MsgKind::Information, {prx::MsgOk});
}
