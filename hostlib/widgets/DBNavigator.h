#pragma once

#include "dataset/DataSource.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace prx {

class TButtonFlat;

// First, prior, next and last buttons over a data source. A move posts the
// row being edited first, as any move does; the click callback runs after a
// successful move.
class DBNavigator : public QWidget
{
    Q_OBJECT

public:
    enum class Button
    {
        First,
        Prior,
        Next,
        Last
    };

    explicit DBNavigator(QWidget *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    TButtonFlat *button(Button which) const { return m_buttons[int(which)]; }

    std::function<void(DBNavigator &, Button)> onClick;

    // What a click on a button does, outside the user-action guard.
    void navigate(Button which);

private:
    void refresh();

    QPointer<DataSource> m_source; // not owned
    TButtonFlat *m_buttons[4];     // owned (children)
    QList<QMetaObject::Connection> m_connections;
};

} // namespace prx
