#pragma once

#include <QList>
#include <QString>

namespace prx {

// A dataset filter: `FIELD = 'value'` terms joined by `and`. Field names and
// the keyword ignore letter case and blanks around tokens are free. A quote
// inside a value is written twice ('O''Brien'), so the text of a value can
// never end it early: a value holding quotes matches only that value, and
// anything that is not this grammar is refused rather than guessed at.
class FilterExpression
{
public:
    struct Term
    {
        QString field;
        QString value;
    };

    // Throws DataSetError with a Portuguese message for a malformed text. A
    // blank text gives an empty expression, which lets every row through.
    static FilterExpression parse(QStringView text);

    // The value written as a filter term would need it, quotes doubled.
    static QString quote(QStringView value);

    bool isEmpty() const { return m_terms.isEmpty(); }
    const QList<Term> &terms() const { return m_terms; }

private:
    QList<Term> m_terms;
};

} // namespace prx
