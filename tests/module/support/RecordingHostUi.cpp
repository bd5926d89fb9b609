#include "RecordingHostUi.h"

#include "net/CheckResultServ.h"

#include <QTcpServer>

RecordingHostUi::RecordingHostUi()
{
    install(this);
    prx::setServerErrorReporter([this](const QString &text) { errorBox(text); });
}

RecordingHostUi::~RecordingHostUi()
{
    prx::setServerErrorReporter({});
    install(nullptr);
}

int RecordingHostUi::messageBox(const QString &text, prx::MsgKind, const QList<int> &buttons)
{
    messages << text;
    return buttons.contains(prx::MsgNo) ? prx::MsgNo : buttons.value(0, prx::MsgOk);
}

void RecordingHostUi::errorBox(const QString &text)
{
    errors << text;
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
