#pragma once

#include "methods/TransferSupport.h"

namespace prx::server {

// Copies the price sets of one period into another period, set-based: a
// handful of statements per pair of periods, whatever the number of items.
//
// A product's price set in a period is every ITEMPRECO and ITEMPRECODIA row
// whose CDPRPAITABPR is that product: its own prices, the prices of its
// components and the differentiated prices of both. Only products that the
// source prices, that the target's segment sells and, when a key table is
// given, that are in it are touched; a copied set replaces the target's set
// of that product as a whole, so running the copy twice gives the same rows.
class PriceSetCopy
{
public:
    struct Side
    {
        QString branch;
        QString table;
        Period period;
    };
    struct Target
    {
        Side side;
        QString segment; // the market segment of the target branch
    };
    struct Options
    {
        // Without it only products the target prices nowhere in the period
        // are copied; its own sets stay as they are.
        bool overwrite = true;
        // Validity dates of differentiated prices always end up inside the
        // target period: those covering the whole source period cover the
        // whole target period, the others keep their dates (moved by the
        // distance between the two starts when this is set: a period copied
        // into another time) cut to the target period, and rows left wholly
        // outside it are not copied. Without it the dates stay the same days
        // (the same days copied to another table).
        bool moveValidity = false;
        QString keyTable; // scratch table of product codes (CDCHAVE); empty: every product
        // What the refusal says was not done: "importado", "exportado".
        QString refusedWork = QStringLiteral("copiado");
    };

    PriceSetCopy(const Storage &db, Options options) : m_db(db), m_options(std::move(options)) {}

    // Refuses, before anything is written, a copy that would break a rule
    // of the target period, naming the products: into an approved period, a
    // product without a tax rate in the target branch (approval demanded a
    // complete set); moved or cut validity dates that would give two
    // differentiated prices of a product the same key.
    void check(const Side &source, const Target &target) const;
    // `fresh`: the target period was created in this transaction, so it
    // holds nothing to replace.
    void copy(const Side &source, const Target &target, bool fresh = false) const;

private:
    // Whether the segment is best looked up once per source row (see the
    // definition); false on SQLite, whose plans do so anyway.
    bool lookupPerRow(const Side &source) const;
    QString productFilter(const QString &alias, const QString &segmentParam, bool perRow) const;
    // The copied rows of the source: the source period's rows of the
    // selected products (without overwrite, of those the target lacks).
    QString copiedRows(SqlParams &p, const Side &source, const Target &target, bool perRow) const;
    void checkTaxRates(const Side &source, const Target &target, bool perRow) const;
    QString moved(SqlParams &p, const QString &column, const Side &source,
                  const Side &target) const;
    QString validityStart(SqlParams &p, const Side &source, const Side &target) const;
    QString validityEnd(SqlParams &p, const Side &source, const Side &target) const;
    QString validityKept(SqlParams &p, const Side &source, const Side &target) const;
    void run(const QString &sql, const SqlParams &params, const QString &doing) const;

    const Storage &m_db;
    Options m_options;
};

} // namespace prx::server
