#pragma once

#include "dataset/DataSource.h"
#include <QLabel>

#include <QPointer>

namespace prx {

// A label showing one field of the current row of a data source, kept up to
// date as the row moves or changes.
class DBText : public QLabel
{
    Q_OBJECT

public:
    explicit DBText(QWidget *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    void setDataField(const QString &fieldName);
    QString dataField() const { return m_fieldName; }

private:
    void refresh();

    QPointer<DataSource> m_source; // not owned
    QString m_fieldName;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace prx
