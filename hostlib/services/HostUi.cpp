#include "HostUi.h"

#include <cstdio>

namespace prx {

namespace {

// Used until the host installs its own: writes to stderr and declines every
// question, so that nothing is done that nobody agreed to.
class HeadlessHostUi : public HostUi
{
public:
    int messageBox(const QString &text, MsgKind, const QList<int> &buttons) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        if (buttons.contains(MsgNo))
            return MsgNo;
        if (buttons.contains(MsgCancel))
            return MsgCancel;
        return buttons.value(0, MsgOk);
    }
    void errorBox(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool pesquisar(DataSource &, const QString &) override { return false; }
    bool pesquisaLista(DataSource &, const QString &, const QString &, QString *) override
    {
        return false;
    }
    void procura(ClientDataSet &) override {}
    void busyOn(int, const QString &) override {}
    void busyOff() override {}
    QWidget *mainWindow() const override { return nullptr; }
};

HeadlessHostUi headless;
HostUi *installed = nullptr;

} // namespace

void HostUi::printPreview(const QString &, const PagePainter &) {}

HostUi &HostUi::instance()
{
    return installed ? *installed : headless;
}

void HostUi::install(HostUi *ui)
{
    installed = ui;
}

} // namespace prx
