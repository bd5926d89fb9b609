#include "ItemsPageTest.h"

#include <QTest>

namespace prx::test {

void ItemsPageTest::initTestCase()
{
    QVERIFY2(m_page.start(), qPrintable(m_page.errorString()));
}

void ItemsPageTest::cleanupTestCase()
{
    m_page.stop();
}

void ItemsPageTest::init()
{
    m_page.prepare();
}

void ItemsPageTest::cleanup()
{
    m_page.finish();
}

} // namespace prx::test
