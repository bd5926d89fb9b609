#pragma once

#include "dataset/FieldDef.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace prx::server {

struct ColumnDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters, for strings
    bool notNull = false;
};

struct ForeignKeyDef
{
    QStringList columns;
    QString refTable;
    QStringList refColumns;
};

struct IndexDef
{
    QString name;
    QStringList columns;
    bool unique = false;
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    QStringList primaryKey;
    QList<ForeignKeyDef> foreignKeys;
    QList<IndexDef> indexes;

    int indexOf(QStringView column) const; // case-insensitive; -1 when absent
    const ColumnDef &column(int index) const { return columns.at(index); }
    bool isKey(QStringView column) const;
};

// Every table of the database, in creation order (referenced tables first).
// The DDL of both dialects and the generic delta writer read these
// definitions, so a column is declared in one place only.
class Schema
{
public:
    static const QList<TableDef> &tables();
    static const TableDef &table(QStringView name); // asserts that it exists
};

} // namespace prx::server
