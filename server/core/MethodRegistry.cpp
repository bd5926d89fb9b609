#include "MethodRegistry.h"

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"
#include "net/RowSource.h"

#include <QDateTime>

namespace prx::server {

ServerError::ServerError(const QString &message, int code)
    : std::runtime_error(message.toStdString()), m_message(message), m_code(code)
{
}

void MethodRegistry::add(const QString &object, Method method)
{
    const QString key = method.name.toLower();
    m_objects[object.toLower()].insert(key, std::move(method));
}

const Method *MethodRegistry::find(const QString &object, const QString &method) const
{
    const auto obj = m_objects.constFind(object.toLower());
    if (obj == m_objects.constEnd())
        return nullptr;
    const auto m = obj->constFind(method.toLower());
    return m == obj->constEnd() ? nullptr : &*m;
}

bool MethodRegistry::hasObject(const QString &object) const
{
    return m_objects.contains(object.toLower());
}

QStringList MethodRegistry::methodNames(const QString &object) const
{
    QStringList names;
    for (const Method &m : m_objects.value(object.toLower()))
        names.append(m.name);
    names.sort();
    return names;
}

namespace {

QString argTypeText(ArgType type)
{
    switch (type) {
    case ArgType::String:
        return QStringLiteral("texto");
    case ArgType::DateTime:
        return QStringLiteral("data-hora");
    case ArgType::Double:
        return QStringLiteral("número");
    case ArgType::Integer:
        return QStringLiteral("inteiro");
    case ArgType::Boolean:
        return QStringLiteral("lógico");
    case ArgType::DataPacket:
        return QStringLiteral("pacote de dados");
    case ArgType::Delta:
        return QStringLiteral("pacote de alterações");
    case ArgType::Any:
        return QStringLiteral("qualquer");
    }
    return {};
}

// Brings an argument to the declared type where that loses nothing; false when
// it cannot.
bool conform(ArgType type, QVariant &value)
{
    const int id = value.metaType().id();
    switch (type) {
    case ArgType::Any:
        return true;
    case ArgType::String:
        return id == QMetaType::QString;
    case ArgType::DateTime:
        return id == QMetaType::QDateTime && value.toDateTime().isValid();
    case ArgType::Double:
        if (id == QMetaType::Double)
            return true;
        if (id == QMetaType::LongLong || id == QMetaType::Int) {
            value = value.toDouble();
            return true;
        }
        return false;
    case ArgType::Integer:
        if (id == QMetaType::LongLong || id == QMetaType::Int) {
            value = value.toLongLong();
            return true;
        }
        return false;
    case ArgType::Boolean:
        return id == QMetaType::Bool;
    case ArgType::DataPacket:
        return value.canConvert<DataPacketPtr>() && value.value<DataPacketPtr>() != nullptr;
    case ArgType::Delta:
        return id == qMetaTypeId<DeltaPacket>();
    }
    return false;
}

} // namespace

Outcome dispatch(const MethodRegistry &registry, Context &context, const QString &object,
                 const QString &method, const QVariantList &args, StreamedRows streamed)
{
    Outcome out;
    if (!registry.hasObject(object)) {
        out.code = ErrorUnknownObject;
        out.message = QStringLiteral("Objeto do servidor desconhecido: %1.").arg(object);
        return out;
    }
    const Method *m = registry.find(object, method);
    if (!m) {
        out.code = ErrorUnknownMethod;
        out.message = QStringLiteral("Método desconhecido: %1.%2.").arg(object, method);
        return out;
    }
    const qsizetype required = m->required < 0 ? m->args.size() : m->required;
    if (args.size() < required || args.size() > m->args.size()) {
        out.code = ErrorArguments;
        out.message = QStringLiteral("O método %1 espera %2 argumento(s) e recebeu %3.")
                          .arg(m->name)
                          .arg(required == m->args.size()
                                   ? QString::number(required)
                                   : QStringLiteral("de %1 a %2").arg(required).arg(m->args.size()))
                          .arg(args.size());
        return out;
    }
    QVariantList checked = args;
    for (int i = 0; i < checked.size(); ++i) {
        if (!conform(m->args[i], checked[i])) {
            out.code = ErrorArguments;
            out.message = QStringLiteral("O argumento %1 do método %2 deve ser do tipo %3.")
                              .arg(i + 1)
                              .arg(m->name, argTypeText(m->args[i]));
            return out;
        }
    }
    try {
        out.payload = m->handler(context, checked);
        if (streamed == StreamedRows::Collected &&
            out.payload.typeId() == qMetaTypeId<wire::RowSourcePtr>()) {
            const wire::RowSourcePtr rows = out.payload.value<wire::RowSourcePtr>();
            out.payload = QVariant();
            auto packet = std::make_shared<DataPacket>(rows->fields());
            int read = 0;
            while ((read = rows->fetch(*packet, 64 * 1024)) > 0) {
            }
            if (read < 0) {
                const wire::RowSource::Failure why = rows->failure();
                throw ServerError(why.message, why.code);
            }
            out.payload = QVariant::fromValue(std::move(packet));
        }
        out.ok = true;
    } catch (const ServerError &e) {
        out.code = e.code();
        out.message = e.message();
    } catch (const std::exception &e) {
        out.code = ErrorInternal;
        out.message =
            QStringLiteral("Erro interno do servidor: %1").arg(QString::fromUtf8(e.what()));
    } catch (...) {
        out.code = ErrorInternal;
        out.message = QStringLiteral("Erro interno do servidor.");
    }
    return out;
}

} // namespace prx::server
