#pragma once

#include "ClientDataSet.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace prx {

// What a grid or a form binds to: one dataset, and signals for what changed
// in it. A dataset tells every data source attached to it.
class DataSource : public QObject
{
    Q_OBJECT

public:
    explicit DataSource(QObject *parent = nullptr);
    explicit DataSource(ClientDataSet *dataSet, QObject *parent = nullptr);
    ~DataSource() override;

    void setDataSet(ClientDataSet *dataSet);
    ClientDataSet *dataSet() const { return m_dataSet; }
    DataSetState state() const;

    // For the forms' state-change steps; runs after stateChanged is emitted.
    std::function<void(DataSource &)> onStateChange;

signals:
    void stateChanged();
    void dataChanged(int viewRow); // -1: every row
    void currentChanged(int viewRow);
    void layoutChanged(); // rows came, went or moved: open, close, load, filter, sort
    // A post is about to run its checks: controls still holding typed text
    // write it into the fields now. A control that cannot (a text the field
    // refuses) throws, and the post is refused.
    void updateRecord();

private:
    friend class ClientDataSet;
    void emitState();

    QPointer<ClientDataSet> m_dataSet; // not owned
};

} // namespace prx
