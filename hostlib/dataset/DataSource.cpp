#include "DataSource.h"

namespace prx {

DataSource::DataSource(QObject *parent) : QObject(parent) {}

DataSource::DataSource(ClientDataSet *dataSet, QObject *parent) : QObject(parent)
{
    setDataSet(dataSet);
}

DataSource::~DataSource()
{
    if (m_dataSet)
        m_dataSet->detach(this);
}

void DataSource::setDataSet(ClientDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detach(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attach(this);
    emit layoutChanged();
    emitState();
}

DataSetState DataSource::state() const
{
    return m_dataSet ? m_dataSet->state() : DataSetState::Inactive;
}

void DataSource::emitState()
{
    emit stateChanged();
    if (onStateChange)
        onStateChange(*this);
}

} // namespace prx
