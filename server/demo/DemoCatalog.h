#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace prx::server {

// The words the demo chain is made of: branches, the product tree and the
// product names of each subcategory. Pure data, so that the generator reads
// as the rules that combine it.
class DemoCatalog
{
public:
    struct Subcategory
    {
        QString code; // two digits inside its category
        QString name;
        QStringList bases; // product names without the size
        QStringList sizes;
        double minPrice;
        double maxPrice;
    };
    struct Category
    {
        QString code; // two digits
        QString name;
        QList<Subcategory> subcategories;
    };
    struct Branch
    {
        QString name;
        QString segment; // CDSEGMER
        QString group;   // CDGRPRODPDV
    };
    struct Named
    {
        QString code;
        QString name;
    };

    static const QList<Category> &categories(); // the last one holds the combos
    static const QList<Branch> &branches();
    static const QList<Named> &segments();
    static const QList<Named> &productGroups();
    static const QList<Named> &consumerTypes();
    static const QList<Named> &costTypes(); // codes are integers as text
    static const QStringList &clients();
    static const QList<Named> &priceTables(); // of every branch
    static const QStringList &storeNames();

    // Which categories (by code) each market segment sells; the first
    // segment sells everything.
    static QStringList segmentCategories(const QString &segment);
};

} // namespace prx::server
