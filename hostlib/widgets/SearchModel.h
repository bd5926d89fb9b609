#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <vector>

namespace prx {

class ClientDataSet;

// The rows of a search window: the dataset's visible fields, narrowed by the
// text the user types. It reads only the rows the view asks for, and keeps one
// lower-case line per row for the filter, built on the first keystroke.
class SearchModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    SearchModel(const ClientDataSet &dataSet, bool markColumn, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    // Keeps the rows whose text, in any visible column, contains `text`
    // without regard to case. An empty text shows every row.
    void setFilterText(const QString &text);
    QString filterText() const { return m_filter; }

    int datasetRow(int modelRow) const; // -1 outside
    int modelRow(int datasetRow) const; // -1 when filtered out
    const QList<int> &fields() const { return m_fields; }
    int firstFieldColumn() const { return m_markColumn ? 1 : 0; }

    bool isMarked(int datasetRow) const;
    void setMarked(int datasetRow, bool marked);
    void toggleMarked(int modelRow);
    void markShown(bool marked);   // every row the filter lets through
    QList<int> markedRows() const; // dataset rows, in dataset order

private:
    QString cellText(int datasetRow, int fieldIndex) const;
    void buildHaystack() const;

    const ClientDataSet &m_dataSet;
    bool m_markColumn;
    QList<int> m_fields;     // visible field indices
    std::vector<int> m_rows; // dataset rows passing the filter
    bool m_allRows = true;   // no filter: m_rows is not used
    std::vector<bool> m_marks;
    QString m_filter;
    mutable std::vector<QString> m_haystack;
};

} // namespace prx
