#pragma once

#include "dataset/ColumnTable.h"
#include "report/PagedTableReport.h"

#include <QString>

namespace prx::shelf {

// The server's answer of price changes for the shelf (GetAlteracoesPreco
// or GetAlteracoesPrecoProxVig) as the lines of the labels' report: code
// through the product mask, name, old price, new price, what changed and,
// when asked for, the rule that decided each price under the row. Texts are
// made only when a row is drawn.
class ShelfChangeList
{
public:
    // Refuses, in Portuguese, an answer without its rows or its summary.
    explicit ShelfChangeList(const QVariant &answer);

    int rowCount() const { return m_rows->rowCount(); }
    void setShowRules(bool show) { m_showRules = show; }
    void rowText(int row, report::PagedTableReport::RowText *out) const;

    QString branch() const;
    QString table() const;
    QDateTime from() const;
    QDateTime to() const;
    QString fromPeriod() const; // the period in force at each moment, in words
    QString toPeriod() const;

    // "Aumento", "Redução", "Passa a vender", "Deixa de vender"
    static QString kindText(QStringView code);

    // The report over these rows; it reads them while it draws, so this list
    // must outlive it.
    report::PagedTableReport report(const QString &tableLabel, const QString &issued) const;

private:
    QString summaryText(QStringView field) const;

    DataPacketPtr m_rows, m_summary;
    int m_product, m_tree, m_name, m_before, m_after, m_kind, m_ruleBefore, m_ruleAfter;
    bool m_showRules = false;
};

} // namespace prx::shelf
