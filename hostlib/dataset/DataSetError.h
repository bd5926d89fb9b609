#pragma once

#include <QString>

#include <stdexcept>

namespace prx {

// A misuse of a dataset or a value it cannot take (a field that does not
// exist, a write outside editing, a text that is not a number). The message is
// meant for the user, so it is Portuguese; the guard around user actions shows
// it in an error box.
class DataSetError : public std::runtime_error
{
public:
    explicit DataSetError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

} // namespace prx
