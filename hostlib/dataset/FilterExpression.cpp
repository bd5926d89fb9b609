#include "FilterExpression.h"

#include "DataSetError.h"

namespace prx {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

[[noreturn]] void refuse(const QString &why)
{
    throw DataSetError(QStringLiteral("Filtro inválido: %1").arg(why));
}

class Scanner
{
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    QString word()
    {
        skipBlanks();
        const qsizetype from = m_pos;
        while (m_pos < m_text.size() && isWordChar(m_text[m_pos]))
            ++m_pos;
        return m_text.mid(from, m_pos - from).toString();
    }
    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    QString quoted(const QString &field)
    {
        if (!take(u'\''))
            refuse(QStringLiteral("o valor de %1 deve estar entre aspas simples.").arg(field));
        QString value;
        for (;;) {
            if (m_pos >= m_text.size())
                refuse(QStringLiteral("falta fechar as aspas do valor de %1.").arg(field));
            const QChar c = m_text[m_pos++];
            if (c != u'\'') {
                value.append(c);
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == u'\'') {
                value.append(c);
                ++m_pos;
                continue;
            }
            return value;
        }
    }
    QString rest()
    {
        skipBlanks();
        return m_text.mid(m_pos, 20).toString();
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

} // namespace

FilterExpression FilterExpression::parse(QStringView text)
{
    FilterExpression expr;
    Scanner s(text);
    if (s.atEnd())
        return expr;
    for (;;) {
        const QString field = s.word();
        if (field.isEmpty())
            refuse(QStringLiteral("esperado um nome de campo em \"%1\".").arg(s.rest()));
        if (!s.take(u'='))
            refuse(QStringLiteral("esperado '=' após %1.").arg(field));
        expr.m_terms.append({field, s.quoted(field)});
        if (s.atEnd())
            return expr;
        const QString keyword = s.word();
        if (keyword.compare(QLatin1String("and"), Qt::CaseInsensitive) != 0)
            refuse(QStringLiteral("esperado 'and' em \"%1\".")
                       .arg(keyword.isEmpty() ? s.rest() : keyword));
    }
}

QString FilterExpression::quote(QStringView value)
{
    QString out;
    out.reserve(value.size() + 2);
    out.append(u'\'');
    for (QChar c : value) {
        if (c == u'\'')
            out.append(c);
        out.append(c);
    }
    out.append(u'\'');
    return out;
}

} // namespace prx
