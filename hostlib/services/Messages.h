#pragma once

#include "HostUi.h"

#include <QHash>
#include <QStringList>

namespace prx {

// A form's message catalogue: lines "key|text". The first "|" splits a line;
// the text is kept exactly as stored, blanks included. Keys match without
// regard to case.
class TMessages
{
public:
    TMessages() = default;
    explicit TMessages(const QStringList &lines);
    static TMessages fromFile(const QString &path); // a resource path or a file

    void setLines(const QStringList &lines);
    const QStringList &lines() const { return m_lines; }
    int count() const { return int(m_lines.size()); }

    bool contains(const QString &key) const;
    QString Msg(const QString &key) const; // empty text for an unknown key
    // Shows the text of key in a modal box; returns the button pressed.
    int ShowMsg(const QString &key, MsgKind kind, const QList<int> &buttons,
                int helpContext = 0) const;

private:
    QStringList m_lines;
    QHash<QString, QString> m_byKey; // lower-case key -> text
};

} // namespace prx
