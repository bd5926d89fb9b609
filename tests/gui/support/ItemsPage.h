#pragma once

#include "FaultProxy.h"
#include "ScriptedHostUi.h"
#include "ServerFixture.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <memory>

namespace prx {
class TfrmTabePreco;
}

namespace prx::test {

// The item page of the price table screen over a real server, reached
// through a proxy that can refuse chosen calls: what the tests of the price
// items and of the component prices share.
class ItemsPage
{
public:
    bool start(); // the server and the proxy; false with the reason in errorString()
    void stop();
    QString errorString() const { return server.errorString(); }
    // Before each test: a fresh scripted host and the host state of branch 0001.
    void prepare();
    // After each test: drops what was left half typed, closes the screen and
    // checks that the busy indicator and the scripted answers were used up.
    void finish();

    // Opens the screen on the second period of table 001 of branch 0001, on
    // the item page with the item grid in focus; null when it cannot.
    TfrmTabePreco *open();
    // Moves to a plain (not composite) item without differentiated prices,
    // skipping the first `skip` of them; false when there is none left.
    static bool moveToPlainItem(TfrmTabePreco *form, int skip = 0);
    // A column (or expression) of the product's saved row in the period
    // opened last; an invalid value without a row.
    QVariant stored(const QString &column, const QString &product, const QString &parent = {});
    // Gives product `to` (as its own item) the differentiated prices of
    // product `from`, straight in the database; false when that fails.
    bool copyDayPrices(const QString &from, const QString &to);

    ServerFixture server;
    FaultProxy proxy;
    std::unique_ptr<ScriptedHostUi> ui;
    QDate periodStart;
};

} // namespace prx::test
