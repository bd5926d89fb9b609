#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace prx::server {

class Storage;

// Every change of a price (price items, component prices, differentiated
// prices) is written to HISTPRECO by triggers of the database itself, so no
// code path, present or future, can change a price without leaving its row.
// One history row per changed price column: when, who, which operation,
// which row, old and new value. Rows whose prices stay as they were write
// nothing.

// Who is calling and what: set by the transport for the length of one call,
// on the worker thread that runs it. The triggers read it through the
// transaction context below; without a caller they record "desconhecido".
class HistoryCaller
{
public:
    HistoryCaller(const QString &user, const QString &operation);
    ~HistoryCaller();
    HistoryCaller(const HistoryCaller &) = delete;
    HistoryCaller &operator=(const HistoryCaller &) = delete;

    static QString user();
    static QString operation();

    // Longest user and operation names kept; longer ones are cut, never
    // allowed to make a save fail.
    static constexpr int MaxNameLength = 40;

private:
    QString m_previousUser;
    QString m_previousOperation;
};

// The history keeps the name of the method that changed a price; a person
// reads the operation in words. Every method that may write prices has its
// words here, "Importação de planilha" for SetItemPrecoPlanilha; a change
// made outside any call (straight in the database) has no method, and reads
// kNoOperationText.
const QList<std::pair<QString, QString>> &historyOperationNames();
inline constexpr char16_t kNoOperationText[] = u"Alteração direta na base de dados";
// The words of a method, or the method's own name when it has none.
QString historyOperationText(const QString &method);

class HistoryTriggers
{
public:
    // Creates the history table, its index and the triggers (idempotent).
    static void create(const Storage &storage);
    // Takes the triggers away (create() puts them back): for filling a new
    // database, whose first prices are no change of anything.
    static void drop(const Storage &storage);

    // Right after a write transaction begins: hands the caller to the
    // triggers. PostgreSQL keeps it in transaction-local settings; SQLite,
    // whose writers are serialized, in a one-row table written inside the
    // transaction and cleared again by leave() before the commit, so a
    // committed database never names a caller.
    static void enter(const Storage &storage);
    static void leave(const Storage &storage);
};

} // namespace prx::server
