#pragma once

#include "ChangeLog.h"
#include "ColumnTable.h"
#include "DeltaPacket.h"
#include "Field.h"
#include "FilterExpression.h"
#include "FilterIndex.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace prx {

class DataSource;

enum class DataSetState : quint8
{
    Inactive,
    Browse,
    Edit,
    Insert
};

struct LocateOptions
{
    bool caseInsensitive = false;
    bool partialKey = false;
};

// A stable name of a row: it survives inserts, deletes, sorting and filtering
// around it and is invalid once the row is gone. Ids restart with each load,
// so a bookmark must not be kept across a reload.
using Bookmark = qint64;
constexpr Bookmark NoBookmark = -1;

// The in-memory table every screen works on: typed fields, a current row, an
// edit buffer, a log of pending changes for the server, a filter, a sort order
// and events around every operation.
//
// Rows are stored column-wise in a ColumnTable in their natural order (as
// loaded, with inserts where they were made). The rows in view are that order
// itself, or, when filtered or sorted, a vector of storage row numbers.
//
// A before-event that throws (prx::Abort or anything else) refuses the
// operation and leaves the dataset exactly as it was. An after-event runs once
// the operation is complete; what it throws reaches the caller.
//
// Implementation files: ClientDataSet.cpp (fields, opening, navigation, value
// access), ClientDataSetEditing.cpp (edits and the change log),
// ClientDataSetView.cpp (filter, sort, locate, bookmarks).
class ClientDataSet : public QObject
{
    Q_OBJECT

public:
    using Event = std::function<void(ClientDataSet &)>;

    explicit ClientDataSet(QObject *parent = nullptr);
    ~ClientDataSet() override;

    // --- fields; defined while the dataset is closed
    Field &addField(const QString &name, FieldType type, int size = 0);
    Field &addCalculatedField(const QString &name, FieldType type, int size = 0);
    Field &fieldByName(QStringView name) const; // throws DataSetError when absent
    Field *findField(QStringView name) const;   // letter case ignored
    int fieldCount() const { return int(m_fields.size()); }
    Field &field(int index) const { return *m_fields.at(index); }

    // --- opening and closing
    // Takes the packet's storage as is. Columns map to fields by name; a field
    // without a column holds nulls; without any field defined, the packet's
    // columns become the fields until the dataset is closed. An open dataset
    // is closed first.
    void loadPacket(DataPacket &&packet);
    void createDataSet(); // opens with no rows
    void copyDataFrom(const ClientDataSet &other);
    void close();
    bool isActive() const { return m_state != DataSetState::Inactive; }
    DataSetState state() const { return m_state; }
    // The stored rows in natural order. While a row is being inserted it is
    // already there, still empty; its values live in the edit buffer.
    const ColumnTable &data() const { return m_table; }
    qint64 bytesUsed() const;

    // --- navigation over the rows in view; each posts a pending edit first
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int viewRow);
    int currentRow() const { return m_current; } // -1 when there is no row
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const;

    // --- editing
    void append();
    void insert(); // before the current row
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void checkBrowseMode(); // posts the row being edited, if any
    // Appends a row, sets its data fields in order from `values` and posts it.
    void appendRecord(const QVariantList &values);

    // --- pending changes
    int changeCount() const { return m_log.count(); }
    DeltaPacket delta() const;
    void mergeChangeLog();
    void cancelUpdates();
    // Loaders that fill a dataset row by row turn logging off.
    void setLogChanges(bool log) { m_logChanges = log; }
    bool logChanges() const { return m_logChanges; }

    // --- finding rows
    // `fieldNames` is "A;B"; `values` a single value or one per field. Moves
    // to the first matching row in view.
    bool locate(QStringView fieldNames, const QVariant &values, LocateOptions options = {});
    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark bookmark) const;
    bool gotoBookmark(Bookmark bookmark); // false when the row is gone or hidden

    // --- filter: `FIELD = 'value' and ...`; malformed text throws DataSetError
    void setFilter(const QString &text);
    QString filter() const { return m_filterText; }
    void setFiltered(bool filtered);
    bool isFiltered() const { return m_filtered; }

    // --- sort: stable, by one field; the current row stays current
    void sortBy(QStringView fieldName, bool ascending = true);
    void clearSort();
    int sortField() const { return m_sortField; } // -1 when unsorted
    bool sortAscending() const { return m_sortAscending; }

    // --- row access for grids, without moving the current row
    QVariant valueAt(int viewRow, int fieldIndex) const;
    QString displayTextAt(int viewRow, int fieldIndex) const;
    QString editTextAt(int viewRow, int fieldIndex) const;

    // --- data sources; signals stay silent while controls are disabled
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    Event beforeOpen, afterOpen, beforeClose, afterClose;
    Event beforeInsert, afterInsert, beforeEdit, afterEdit;
    Event beforePost, afterPost, beforeCancel, afterCancel;
    Event beforeDelete, afterDelete, beforeScroll, afterScroll;
    Event onNewRecord;  // the new row's initial values, in insert state
    Event onCalcFields; // sets the calculated fields of the row being calculated

private:
    friend class Field;
    friend class DataSource;

    // Field reads resolve here: the row being calculated or painted, else the
    // edit buffer while editing, else the current row.
    class RowScope;
    QVariant fieldValue(const Field &field) const;
    void setFieldValue(Field &field, const QVariant &converted);
    QVariant storedValue(int row, const Field &field) const;
    QVariantList dataValues(int row) const;
    QVariantList rowBuffer(int row) const;

    bool editing() const
    {
        return m_state == DataSetState::Edit || m_state == DataSetState::Insert;
    }
    bool validCell(int viewRow, int fieldIndex) const;
    bool bufferShows(int viewRow) const { return viewRow == m_current && editing(); }
    QString textAt(int viewRow, int fieldIndex, bool display) const;

    Field &newField(const QString &name, FieldType type, int size, Field::Kind kind);
    void requireActive() const;
    void requireRows(const QString &message) const;
    void discardDynamicFields();
    void openWith(ColumnTable &&table);
    void resetContent();
    void closeContent();

    int viewToStorage(int viewRow) const { return m_hasView ? m_view[viewRow] : viewRow; }
    int currentStorageRow() const { return m_current < 0 ? -1 : viewToStorage(m_current); }
    int storageRowOf(quint32 rowId) const;
    quint32 rowIdOf(int row) const
    {
        return m_rowIds.empty() ? quint32(row) : m_rowIds[size_t(row)];
    }
    void materializeRowIds();
    int viewPositionOf(int storageRow) const;
    void scrollTo(int viewRow, bool bof, bool eof);
    void setEdges(bool bof, bool eof);

    void insertStorageRow(int position);
    void removeStorageRow(int position);
    void beginInsert(bool atEnd);
    void dropRow(int viewRow, int row);
    void notifyRowDone(bool moved);
    void writeBuffer(int row);
    void recalcRow(int row);
    void recalcAll();
    void recalcKeepingIndex(int row);

    // View upkeep (ClientDataSetView.cpp).
    struct ResolvedFilter
    {
        QList<int> fields; // ascending field indices
        QString key;
        bool impossible = false; // one field asked for two different values
    };
    bool filterActive() const;
    ResolvedFilter resolveFilter(const FilterExpression &expr) const;
    void ensureIndex(const QList<int> &fields);
    void appendRowKey(int row, const QList<int> &fields, QString &key) const;
    QString rowKey(int row, const QList<int> &fields) const;
    QString filterTextOf(int row, const Field &field) const;
    bool rowMatchesFilter(int row) const;
    void rebuildView();
    void sortView(std::vector<int> &rows) const;
    bool rowLess(int a, int b) const;
    bool placeInView(int row, int fallbackPosition);
    void applyFilter(const QString &text, bool filtered);
    void indexRowChanged(int row, const QString &oldKey);

    template <typename Emit> void notifySources(Emit emitTo);
    void notifyState();
    void notifyData(int viewRow);
    void notifyCurrent();
    void notifyLayout();
    void attach(DataSource *source);
    void detach(DataSource *source);

    std::vector<std::unique_ptr<Field>> m_fields;
    QList<int> m_dataFields; // indices of the data fields: the order of a delta
    QList<FieldDef> m_calcDefs;
    bool m_dynamicFields = false;

    DataSetState m_state = DataSetState::Inactive;
    ColumnTable m_table; // data fields, and any unmapped packet columns
    ColumnTable m_calc;  // calculated fields, row for row with m_table
    // Stable id of each storage row; empty while the ids are the row numbers,
    // as they are from a load until rows come or go (a million ids spared).
    std::vector<quint32> m_rowIds;
    quint32 m_nextRowId = 0;
    QVariantList m_buffer; // every field's value while editing
    int m_current = -1;    // view row
    bool m_bof = true;
    bool m_eof = true;

    bool m_hasView = false;
    std::vector<int> m_view; // storage rows in view, when filtered or sorted

    QString m_filterText;
    FilterExpression m_filterExpr;
    bool m_filtered = false;
    ResolvedFilter m_activeFilter;
    FilterIndex m_index;

    int m_sortField = -1;
    bool m_sortAscending = true;

    ChangeLog m_log;
    bool m_logChanges = true;

    mutable int m_scopeRow = -1; // storage row read by fields, or -1
    mutable bool m_scopeBuffer = false;
    bool m_calculating = false;

    QList<DataSource *> m_sources; // not owned
    int m_disableCount = 0;
    bool m_suppressed = false;
    DataSetState m_stateWhenDisabled = DataSetState::Inactive;
};

} // namespace prx
