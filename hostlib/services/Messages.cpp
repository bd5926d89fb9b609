#include "Messages.h"

#include <QFile>

namespace prx {

TMessages::TMessages(const QStringList &lines)
{
    setLines(lines);
}

TMessages TMessages::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Catálogo de mensagens não encontrado: %s", qPrintable(path));
        return {};
    }
    QString all = QString::fromUtf8(file.readAll());
    all.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = all.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return TMessages(lines);
}

void TMessages::setLines(const QStringList &lines)
{
    m_lines = lines;
    m_byKey.clear();
    for (const QString &line : lines) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar < 0)
            continue;
        const QString key = line.left(bar).toLower();
        // the first line of a key wins, as a lookup from the top would find it
        if (!m_byKey.contains(key))
            m_byKey.insert(key, line.mid(bar + 1));
    }
}

bool TMessages::contains(const QString &key) const
{
    return m_byKey.contains(key.toLower());
}

QString TMessages::Msg(const QString &key) const
{
    return m_byKey.value(key.toLower());
}

int TMessages::ShowMsg(const QString &key, MsgKind kind, const QList<int> &buttons,
                       int helpContext) const
{
    Q_UNUSED(helpContext);
    return HostUi::instance().messageBox(Msg(key), kind, buttons);
}

} // namespace prx
