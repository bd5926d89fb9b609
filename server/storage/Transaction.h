#pragma once

namespace prx::server {

class Storage;

// One unit of work: begun on construction, rolled back on destruction unless
// commit() ran, so an exception anywhere in a save leaves nothing written.
class Transaction
{
public:
    explicit Transaction(const Storage &storage);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    const Storage &m_storage;
    bool m_open = true;
};

} // namespace prx::server
