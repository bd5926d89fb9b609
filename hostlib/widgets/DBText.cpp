#include "DBText.h"

#include "dataset/DataSource.h"

namespace prx {

DBText::DBText(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void DBText::setDataSource(DataSource *source)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections << connect(source, &DataSource::stateChanged, this, &DBText::refresh)
                      << connect(source, &DataSource::layoutChanged, this, &DBText::refresh)
                      << connect(source, &DataSource::currentChanged, this, &DBText::refresh)
                      << connect(source, &DataSource::dataChanged, this, &DBText::refresh);
    }
    refresh();
}

void DBText::setDataField(const QString &fieldName)
{
    m_fieldName = fieldName;
    refresh();
}

void DBText::refresh()
{
    QString text;
    ClientDataSet *ds = m_source ? m_source->dataSet() : nullptr;
    if (ds && ds->isActive() && !ds->isEmpty()) {
        if (const Field *f = ds->findField(m_fieldName)) {
            try {
                text = f->displayText();
            } catch (...) {
                // A text handler that fails leaves the label empty: a label
                // has nobody to tell.
            }
        }
    }
    setText(text);
}

} // namespace prx
