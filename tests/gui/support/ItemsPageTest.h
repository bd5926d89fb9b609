#pragma once

#include "ItemsPage.h"

#include <QObject>

namespace prx::test {

// What every test class of the item page starts from: the server and proxy
// for the whole class, a fresh host before each test and the screen closed
// after it.
class ItemsPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

protected:
    ItemsPage m_page;
    ServerFixture &m_server = m_page.server;
    FaultProxy &m_proxy = m_page.proxy;
    std::unique_ptr<ScriptedHostUi> &m_ui = m_page.ui;
};

} // namespace prx::test
