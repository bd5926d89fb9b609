#pragma once

#include "dataset/ColumnTable.h"

#include <QList>
#include <QString>

namespace prx::server {

class Storage;

// The rules every stored price row obeys, checked over the whole database:
// whatever a save refuses must not be found stored. Used by prx-cli check,
// by the server method GetVerifConsistencia and after the server tests.

struct ConsistencyRule
{
    QString code;  // "DECIMAIS"
    QString title; // "Preço com mais de duas casas decimais"
};
// Every rule, in the order the findings are reported.
const QList<ConsistencyRule> &consistencyRules();

// One stored row (or group of rows) that breaks a rule.
struct Finding
{
    QString rule; // a code of consistencyRules()
    QString branch, table;
    QString periodStart; // as stored, 'yyyy-MM-dd HH:mm:ss'; empty when the rule has none
    QString product;     // product code; empty when the rule names none
    QString treeCode;    // the product's tree code as the screens show it
    QString detail;      // what, where and the values, in Portuguese
};

// Reads the whole database, set-based: one query per rule and table, each
// answering only the rows that break it (on PostgreSQL the price routine
// runs in one streaming pass over the differentiated prices). Findings come
// rule by rule, in the order of consistencyRules().
QList<Finding> checkConsistency(const Storage &db);

// "[DECIMAIS] filial 0001, tabela 001, vigência 01/02/2026, produto
// 01.01.0001 (0000000001): VRPRECITEM 9,876"
QString findingLine(const Finding &finding);

// "DECIMAIS (Preço com mais de duas casas decimais): 3", one per rule,
// every rule listed.
QStringList findingCounts(const QList<Finding> &findings);

// The findings as the method answers them: CDREGRA, DSREGRA, CDFILIAL,
// CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDARVPROD, DSOCORRENCIA.
DataPacketPtr findingsPacket(const QList<Finding> &findings);

} // namespace prx::server
