#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace prx {

// An edit mask as fields carry it, e.g. ">aaaa;0; ", "99:99;0; ", "!99/99/9999;1;_".
// Characters: 9 digit, 0 required digit, a letter or digit, A required letter
// or digit, l letter, L required letter, c any character, C required
// character, > upper case from here, < lower case, ! and <> (no change) are
// markers; \ makes the next character a literal; anything else is a literal.
// After the first ';' comes 1 when the literals are stored with the value and
// 0 when only the typed characters are; after the second ';' the blank.
class EditMask
{
public:
    EditMask() = default;
    explicit EditMask(const QString &mask);

    bool isEmpty() const { return m_slots.isEmpty(); }
    bool storesLiterals() const { return m_storeLiterals; }
    QChar blank() const { return m_blank; }
    bool upperCase() const { return m_upper; }
    // Number of characters the user types (mask positions that are not literals).
    int inputLength() const;

    // The equivalent QLineEdit input mask.
    QString qtInputMask() const;
    // The value to store from the text shown in the editor: literals and
    // blanks dropped unless the mask stores literals; trailing blanks trimmed.
    QString storedFromEdit(const QString &editText) const;
    // The editor text for a stored value (literals put back in place).
    QString editFromStored(const QString &stored) const;
    // The display text of a stored value: like editFromStored, but an empty
    // value stays empty and positions beyond the value are not filled.
    QString format(const QString &stored) const;

private:
    struct Slot
    {
        QChar ch;      // mask character, or the literal itself
        bool literal;
        int caseMode;  // 0 unchanged, 1 upper, 2 lower
    };
    QList<Slot> m_slots;
    bool m_storeLiterals = true;
    QChar m_blank = QLatin1Char('_');
    bool m_upper = false;
};

// The edit mask of date fields.
QString DateMask();

} // namespace prx
