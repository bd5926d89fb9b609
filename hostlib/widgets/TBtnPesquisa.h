#pragma once

#include "TButtonFlat.h"

#include "dataset/DataSource.h"

#include <QPointer>

#include <functional>

namespace prx {

// The search button beside an edit: a click lets the caller prepare the rows
// (BeforePesq, which may refuse by aborting), opens the host's search window
// over the data source and, when the user chose a row, lets the caller copy
// it into its edits (AfterPesq).
class TBtnPesquisa : public TButtonFlat
{
    Q_OBJECT

public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_source = source; }
    DataSource *dataSource() const { return m_source; }
    // "title" or "title|message shown when there is nothing to choose".
    void setTitle(const QString &title) { m_title = title; }
    QString title() const { return m_title; }

    std::function<void(TBtnPesquisa &)> BeforePesq;
    std::function<void(TBtnPesquisa &)> AfterPesq;

    // What a click does, outside the user-action guard: true when a row was
    // chosen. A refusal of BeforePesq reaches the caller.
    bool pesquisa();

private:
    QPointer<DataSource> m_source;
    QString m_title;
};

} // namespace prx
