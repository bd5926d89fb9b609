#pragma once

#include "services/HostUi.h"

#include <QStringList>

// A host UI for the module's tests: records the error boxes and messages
// shown (server errors included) and answers every question with no.
// Constructing one installs it; destroying it puts the defaults back.
class RecordingHostUi : public prx::HostUi
{
public:
    RecordingHostUi();
    ~RecordingHostUi() override;
    RecordingHostUi(const RecordingHostUi &) = delete;
    RecordingHostUi &operator=(const RecordingHostUi &) = delete;

    QStringList errors;
    QStringList messages;
    int busyDepth = 0;

    int messageBox(const QString &text, prx::MsgKind kind, const QList<int> &buttons) override;
    void errorBox(const QString &text) override;
    bool pesquisar(prx::DataSource &, const QString &) override { return false; }
    bool pesquisaLista(prx::DataSource &, const QString &, const QString &, QString *) override
    {
        return false;
    }
    void procura(prx::ClientDataSet &) override {}
    void busyOn(int, const QString &) override { ++busyDepth; }
    void busyOff() override { --busyDepth; }
    QWidget *mainWindow() const override { return nullptr; }
};

// A loopback port nobody listens on, so that the screen's server calls fail
// at once instead of reaching a server someone else started.
quint16 closedPort();
