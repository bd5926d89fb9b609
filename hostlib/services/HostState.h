#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

namespace prx {

// What the host knows about where it runs: the branch it works for, its
// processing date, the server's address and the product-code masks. The host
// fills it from its configuration; modules only read it.
class HostState : public QObject
{
    Q_OBJECT

public:
    static HostState &instance();

    QString branchCode;      // FiliProc
    QString branchName;      // NomeFiliProc
    QDate processingDate;    // DataProc of the host's branch
    bool boundToBranch = false; // ModuFili
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 7451;
    QString productMask = QStringLiteral("99.99.9999;0;_"); // DBPict(0)
    QList<int> productLevelDigits{2, 2, 4};                  // digits of each tree level
    QString userName; // who works here; sent with every server call

    // Records the names of tables that changed and tells whoever listens.
    void atualizaLocalCache(const QStringList &tableNames);
    const QStringList &changedTables() const { return m_changedTables; }
    void clearChangedTables() { m_changedTables.clear(); }

signals:
    void tablesChanged(const QStringList &tableNames);

private:
    QStringList m_changedTables;
};

// The tree levels of a product-code mask (DBPictObj(0)).
class ProductMaskInfo
{
public:
    explicit ProductMaskInfo(QList<int> levelDigits) : m_levels(std::move(levelDigits)) {}
    int GetTtNiveis() const { return int(m_levels.size()); }
    int digitsUpToLevel(int level) const;

private:
    QList<int> m_levels;
};

QString FiliProc();
QString NomeFiliProc();
QDate DataProc(const QString &branch);
bool ModuFili();
QString WebURL();
int WebPort();
QString DBPict(int index);
ProductMaskInfo DBPictObj(int index);
void AtualizaLocalCache(const QStringList &tableNames);

} // namespace prx
