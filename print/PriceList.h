#pragma once

#include "PriceListOptions.h"

#include "dataset/ColumnTable.h"
#include "report/PagedTableReport.h"
#include "services/EditMask.h"

#include <QHash>

#include <vector>

namespace prx::pricelist {

// The rows of a price list: the period's items as the server lists them
// (GetItemPreco) and, when asked for, their differentiated prices
// (GetPrecoHora), filtered and ordered as the options say. Texts are made
// only when a row is drawn.
class PriceList
{
public:
    PriceList(const Options &options, DataPacketPtr items, DataPacketPtr dayPrices);

    const Options &options() const { return m_options; }
    int rowCount() const { return int(m_rows.size()); }
    int dayPriceCount(int row) const;
    void rowText(int row, report::PagedTableReport::RowText *out) const;
    // The lines under an item, one per differentiated price.
    QStringList dayPriceLines(int row) const;

    // The report over these rows; it reads them while it draws, so this list
    // must outlive it.
    report::PagedTableReport report(const QString &issued) const;

    static QString priceTitle(Price price);

private:
    struct ItemColumns
    {
        int tree, name, product, promotion, subsidy;
        int price[5]; // by Price
    };
    QString priceCell(int item, Price price) const;
    bool hasListedPrice(int item) const;
    QString dayPriceLine(int item, int day) const;

    Options m_options;
    DataPacketPtr m_items, m_days;
    ItemColumns m_c{};
    std::vector<int> m_rows;              // item rows, in list order
    QHash<QString, QList<int>> m_dayRows; // product code -> its own day price rows
    EditMask m_mask;
};

} // namespace prx::pricelist
