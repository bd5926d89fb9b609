#pragma once

#include "methods/MethodSupport.h"

#include <QStringList>

namespace prx::server {

// The codes of a product list as the screens send it: each key is "_"
// followed by the 10-character product code (padded with blanks), one after
// the other. A text without any "_" is one code by itself.
QStringList productListKeys(const QString &list);

// The connection's temporary table of chosen product codes. Lists of any
// size travel into the SQL as rows of this table, never as text pasted into
// a statement.
inline const QString kSelectionTable = QStringLiteral("PRXSELECAO");

// Empties the temporary table (creating it on first use) and fills it with
// the codes, inside the caller's transaction.
void fillSelection(const Storage &storage, const QStringList &codes);

// Length of a leaf code of the product tree with `levels` levels ("3"):
// refused with a message when the text is not a level count of the tree.
int leafCodeLength(const Storage &storage, const QString &levelsText);

// The period's branch, table and start must exist; a refusal names them.
void requirePeriod(const Storage &storage, const QVariant &branch, const QVariant &table,
                   const QDateTime &start);

// "01.01.0001 Café Expresso (0000000001)" for messages naming a product.
QString productLabel(const Storage &storage, const QString &code);

// The products a bulk method left as they were, each with its reason in
// words the user reads ("sem custo do tipo escolhido"). A run that skips
// products still succeeds, so its answer must say which and why.
class SkippedProducts
{
public:
    void add(const QString &code, const QString &tree, const QString &name, const QString &reason);
    int count() const { return int(m_rows.size()); }
    // CDPRODUTO, CDARVPROD, NMPRODUTO, DSMOTIVO, by tree code.
    DataPacketPtr packet() const;
    // The answer of a bulk method: [rows written, products skipped, the
    // packet of the skipped ones].
    QVariant answer(qint64 written) const;

private:
    QList<QStringList> m_rows;
};

} // namespace prx::server
