#pragma once

#include <QDate>

namespace prx::server {

class Storage;

struct DemoOptions
{
    int products = 3000;
    int branches = 4;
    quint32 seed = 1;
    QDate today = QDate::currentDate(); // the period in force contains this day
};

// Fills an empty database (schema already created) with a believable chain of
// restaurants and stores. The same options always give the same data.
void generateDemo(Storage &storage, const DemoOptions &options);

} // namespace prx::server
