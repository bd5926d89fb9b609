#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <stdexcept>

namespace prx::server {

class Storage;

// An error a method reports to its caller; the message is shown to the user
// as it stands, so it is written in Portuguese.
class ServerError : public std::runtime_error
{
public:
    explicit ServerError(const QString &message, int code = 1);
    QString message() const { return m_message; }
    int code() const { return m_code; }

private:
    QString m_message;
    int m_code;
};

enum ErrorCode {
    ErrorMethod = 1,       // raised by the method itself
    ErrorUnknownObject = 2,
    ErrorUnknownMethod = 3,
    ErrorArguments = 4,
    ErrorBadFrame = 5,
    ErrorConflict = 6,     // the row changed since it was read
    ErrorInternal = 7,
    ErrorLimit = 8,        // a bound of the server (connections, size, time) was passed
    ErrorAccess = 9,       // the client did not prove it holds the access key
};

// What an argument must be. Double takes an integer too; Any takes anything.
enum class ArgType { String, DateTime, Double, Integer, Boolean, DataPacket, Delta, Any };

struct Context
{
    Storage &storage;
};

using Handler = std::function<QVariant(Context &, const QVariantList &)>;

struct Method
{
    QString name;
    QList<ArgType> args;
    Handler handler;
    // Fewer arguments accepted than `args` lists: the rest are optional
    // trailing ones. -1: every argument is required.
    int required = -1;
};

class MethodRegistry
{
public:
    void add(const QString &object, Method method);
    // Names are matched without regard to case, as late-bound calls are.
    const Method *find(const QString &object, const QString &method) const;
    bool hasObject(const QString &object) const;
    QStringList methodNames(const QString &object) const;

private:
    QHash<QString, QHash<QString, Method>> m_objects; // keys in lower case
};

struct Outcome
{
    bool ok = false;
    QVariant payload;
    int code = 0;
    QString message;
};

// What becomes of a payload whose rows are read while it is sent
// (net/RowSource.h): Collected, read whole into a packet here (callers in the
// same process); Kept, for the transport to read as it writes the answer.
enum class StreamedRows
{
    Collected,
    Kept
};

// Finds the method, checks the count and type of every argument, runs it and
// turns any exception into an error outcome. Never throws.
Outcome dispatch(const MethodRegistry &registry, Context &context, const QString &object,
                 const QString &method, const QVariantList &args,
                 StreamedRows streamed = StreamedRows::Collected);

// Every method of the price table objects.
void registerAllMethods(MethodRegistry &registry);

} // namespace prx::server
