#include "Field.h"

#include "ClientDataSet.h"
#include "DataSetError.h"
#include "Format.h"

#include <cmath>

namespace prx {

namespace {

bool isText(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QString || t == QMetaType::QByteArray || t == QMetaType::QChar;
}

[[noreturn]] void throwNotNumber(const QString &text)
{
    throw DataSetError(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
}

[[noreturn]] void throwNotDate(const QString &text)
{
    throw DataSetError(QStringLiteral("'%1' não é uma data válida.").arg(text));
}

double textToNumber(const QString &text)
{
    double d = 0;
    if (!parseNumber(text, &d))
        throwNotNumber(text);
    return d;
}

} // namespace

Field::Field(ClientDataSet *dataSet, const QString &name, FieldType type, int size, Kind kind,
             int index)
    : m_dataSet(dataSet), m_name(name), m_type(type), m_size(size), m_kind(kind), m_index(index)
{
}

int Field::displayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    return m_type == FieldType::String && m_size > 0 ? m_size : 10;
}

QVariant Field::convert(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return {};
    const int t = v.typeId();
    const QString invalid = QStringLiteral("Valor inválido para o campo '%1'.").arg(m_name);
    switch (m_type) {
    case FieldType::String: {
        QString s;
        if (t == QMetaType::QDateTime)
            s = formatDateTime(v.toDateTime());
        else if (t == QMetaType::QDate)
            s = formatDateTime(wallClock(v.toDate()));
        else if (t == QMetaType::Double || t == QMetaType::Float)
            s = formatNumber(v.toDouble());
        else if (t == QMetaType::Bool)
            s = formatBoolean(v.toBool());
        else
            s = v.toString();
        // The column holds no more than its size, as the table behind it.
        if (m_size > 0 && s.size() > m_size)
            s.truncate(m_size);
        return s;
    }
    case FieldType::Float: {
        if (isText(v)) {
            const QString s = v.toString();
            return s.trimmed().isEmpty() ? QVariant() : QVariant(textToNumber(s));
        }
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw DataSetError(invalid);
        return d;
    }
    case FieldType::Integer: {
        if (isText(v)) {
            const QString s = v.toString();
            if (s.trimmed().isEmpty())
                return {};
            return QVariant(qint64(std::llround(textToNumber(s))));
        }
        bool ok = false;
        if (t == QMetaType::Double || t == QMetaType::Float) {
            const double d = v.toDouble(&ok);
            if (!std::isfinite(d))
                throw DataSetError(invalid);
            return QVariant(qint64(std::llround(d)));
        }
        const qint64 n = v.toLongLong(&ok);
        if (!ok)
            throw DataSetError(invalid);
        return QVariant(n);
    }
    case FieldType::Boolean: {
        if (isText(v)) {
            const QString s = v.toString();
            if (s.trimmed().isEmpty())
                return {};
            bool b = false;
            if (!parseBoolean(s, &b))
                throw DataSetError(QStringLiteral("'%1' não é um valor lógico válido.").arg(s));
            return b;
        }
        return v.toBool();
    }
    case FieldType::DateTime: {
        if (t == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            return dt.isValid() ? QVariant(wallClock(dt)) : QVariant();
        }
        if (t == QMetaType::QDate) {
            const QDate d = v.toDate();
            return d.isValid() ? QVariant(wallClock(d)) : QVariant();
        }
        if (isText(v)) {
            const QString s = v.toString();
            if (s.trimmed().isEmpty())
                return {};
            QDateTime dt;
            if (!parseDateTime(s, &dt))
                throwNotDate(s);
            return dt;
        }
        throw DataSetError(invalid);
    }
    }
    return {};
}

QString Field::plainText(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (m_type) {
    case FieldType::String:
        return v.toString();
    case FieldType::Float:
        return formatNumber(v.toDouble());
    case FieldType::Integer:
        return QString::number(v.toLongLong());
    case FieldType::Boolean:
        return formatBoolean(v.toBool());
    case FieldType::DateTime:
        return formatDateTime(v.toDateTime());
    }
    return {};
}

bool Field::isNull() const
{
    return m_dataSet->fieldValue(*this).isNull();
}

QVariant Field::value() const
{
    return m_dataSet->fieldValue(*this);
}

QString Field::asString() const
{
    return plainText(value());
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0.0;
    switch (m_type) {
    case FieldType::String:
        return v.toString().trimmed().isEmpty() ? 0.0 : textToNumber(v.toString());
    case FieldType::DateTime:
        throw DataSetError(
            QStringLiteral("O campo '%1' não pode ser lido como número.").arg(m_name));
    default:
        return v.toDouble();
    }
}

qint64 Field::asInteger() const
{
    if (m_type == FieldType::Integer || m_type == FieldType::Boolean)
        return value().toLongLong();
    return qint64(std::llround(asFloat()));
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (v.isNull())
        return false;
    if (m_type == FieldType::String) {
        bool b = false;
        if (!parseBoolean(v.toString(), &b))
            throw DataSetError(
                QStringLiteral("'%1' não é um valor lógico válido.").arg(v.toString()));
        return b;
    }
    return asFloat() != 0.0;
}

QDateTime Field::asDateTime() const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    if (m_type == FieldType::DateTime)
        return v.toDateTime();
    if (m_type == FieldType::String) {
        if (v.toString().trimmed().isEmpty())
            return {};
        QDateTime dt;
        if (!parseDateTime(v.toString(), &dt))
            throwNotDate(v.toString());
        return dt;
    }
    throw DataSetError(QStringLiteral("O campo '%1' não pode ser lido como data.").arg(m_name));
}

void Field::setValue(const QVariant &value)
{
    m_dataSet->setFieldValue(*this, convert(value));
}

void Field::setAsString(const QString &text)
{
    setValue(text);
}

void Field::setAsFloat(double value)
{
    setValue(value);
}

void Field::setAsInteger(qint64 value)
{
    setValue(value);
}

void Field::setAsDateTime(const QDateTime &value)
{
    setValue(value);
}

void Field::clear()
{
    setValue(QVariant());
}

QString Field::formattedText(bool display) const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    const QString &format = display || m_editFormat.isEmpty() ? m_displayFormat : m_editFormat;
    switch (m_type) {
    case FieldType::Float:
        return formatNumber(v.toDouble(), format);
    case FieldType::Integer:
        return format.isEmpty() ? plainText(v) : formatNumber(double(v.toLongLong()), format);
    case FieldType::DateTime:
        return formatDateTime(v.toDateTime(), format);
    default:
        return plainText(v);
    }
}

// The get-text handler decides when there is one, else the formats.
QString Field::shownText(bool display) const
{
    if (onGetText) {
        QString text;
        onGetText(const_cast<Field &>(*this), text, display);
        return text;
    }
    return formattedText(display);
}

QString Field::displayText() const
{
    return shownText(true);
}

QString Field::editText() const
{
    return shownText(false);
}

void Field::setText(const QString &text)
{
    if (onSetText)
        onSetText(*this, text);
    else
        setAsString(text);
}

} // namespace prx
