#include "EditMask.h"

namespace prx {

namespace {
bool isMaskChar(QChar c)
{
    return QStringLiteral("90aAlLcC").contains(c);
}
// characters Qt's input masks treat as special, which must be escaped when we
// mean them as literals
bool isQtMaskChar(QChar c)
{
    return QStringLiteral("AaNnXx9D0dHhBb#><!\\[]{}").contains(c);
}
} // namespace

EditMask::EditMask(const QString &mask)
{
    const QStringList parts = mask.split(QLatin1Char(';'));
    const QString pattern = parts.value(0);
    if (parts.size() > 1)
        m_storeLiterals = parts[1].trimmed() != QLatin1String("0");
    if (parts.size() > 2 && !parts[2].isEmpty())
        m_blank = parts[2].at(0);

    int caseMode = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('!'))
            continue;
        if (c == QLatin1Char('>')) {
            if (i + 1 < pattern.size() && pattern[i + 1] == QLatin1Char('<')) {
                caseMode = 0;
                ++i;
            } else {
                caseMode = 1;
                m_upper = true;
            }
            continue;
        }
        if (c == QLatin1Char('<')) {
            caseMode = 2;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            m_slots.append({pattern[++i], true, caseMode});
            continue;
        }
        m_slots.append({c, !isMaskChar(c), caseMode});
    }
}

int EditMask::inputLength() const
{
    int n = 0;
    for (const Slot &s : m_slots)
        n += s.literal ? 0 : 1;
    return n;
}

QString EditMask::qtInputMask() const
{
    if (isEmpty())
        return {};
    QString out;
    int caseMode = 0;
    for (const Slot &s : m_slots) {
        if (s.caseMode != caseMode) {
            out += s.caseMode == 1 ? QStringLiteral(">") : s.caseMode == 2 ? QStringLiteral("<")
                                                                          : QStringLiteral("!");
            caseMode = s.caseMode;
        }
        if (s.literal) {
            if (isQtMaskChar(s.ch))
                out += QLatin1Char('\\');
            out += s.ch;
            continue;
        }
        switch (s.ch.toLatin1()) {
        case '9':
            out += QLatin1Char('0');
            break;
        case '0':
            out += QLatin1Char('9');
            break;
        case 'a':
            out += QLatin1Char('n');
            break;
        case 'A':
            out += QLatin1Char('N');
            break;
        case 'l':
            out += QLatin1Char('a');
            break;
        case 'L':
            out += QLatin1Char('A');
            break;
        case 'c':
            out += QLatin1Char('x');
            break;
        default:
            out += QLatin1Char('X');
            break;
        }
    }
    // Qt's blank is a space unless told otherwise
    out += QLatin1Char(';');
    out += m_blank;
    return out;
}

QString EditMask::storedFromEdit(const QString &editText) const
{
    if (isEmpty() || m_storeLiterals) {
        QString out = editText;
        if (!isEmpty() && m_blank != QLatin1Char(' '))
            out.replace(m_blank, QLatin1Char(' '));
        return m_upper ? out.trimmed().toUpper() : out.trimmed();
    }
    QString out;
    for (int i = 0; i < m_slots.size() && i < editText.size(); ++i) {
        if (m_slots[i].literal)
            continue;
        QChar c = editText[i];
        if (c == m_blank || c == QLatin1Char(' '))
            continue;
        if (m_slots[i].caseMode == 1)
            c = c.toUpper();
        else if (m_slots[i].caseMode == 2)
            c = c.toLower();
        out += c;
    }
    return out;
}

QString EditMask::editFromStored(const QString &stored) const
{
    if (isEmpty() || m_storeLiterals)
        return stored;
    QString out;
    int next = 0;
    for (const Slot &s : m_slots) {
        if (s.literal) {
            out += s.ch;
        } else {
            out += next < stored.size() ? stored[next] : m_blank;
            ++next;
        }
    }
    return out;
}

QString EditMask::format(const QString &stored) const
{
    if (stored.isEmpty() || isEmpty() || m_storeLiterals)
        return stored;
    QString out;
    int next = 0;
    for (const Slot &s : m_slots) {
        if (next >= stored.size())
            break;
        if (s.literal)
            out += s.ch;
        else
            out += stored[next++];
    }
    out += stored.mid(next); // characters beyond the mask are still shown
    return out;
}

QString DateMask()
{
    return QStringLiteral("!99/99/9999;1;_");
}

} // namespace prx
