#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace prx {

class ClientDataSet;
class DataSource;
class SearchModel;

// The search window: the rows of a dataset in a list with one column per
// visible field, narrowed while the user types. One choice (Enter or a double
// click chooses, Esc gives up), or several with a mark column.
//
// The static functions are what the host's dialogs call; the class is public
// so that tests can type into a window and press its keys.
class SearchWindow : public QDialog
{
    Q_OBJECT

public:
    enum class Mode
    {
        Single,
        Multiple
    };

    SearchWindow(const ClientDataSet &dataSet, const QString &caption, Mode mode,
                 QWidget *parent = nullptr);
    ~SearchWindow() override;

    // One choice over the rows of the source's dataset; true when the user
    // chose a row, which is then the current one. The title may be
    // "title|message": the message is shown instead of the window when the
    // dataset has no rows.
    static bool pesquisar(DataSource &source, const QString &title);
    // Several choices; on confirmation *list receives the chosen values of
    // keyField in the list format of listText() and true is returned. Keys
    // already in *list start marked. Confirming with nothing marked takes the
    // row under the cursor.
    static bool pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                              QString *list);
    // The find window over the dataset (see FindWindow).
    static void procura(ClientDataSet &dataSet);

    // "caption|message" split at the first bar.
    static QString captionOf(const QString &title);
    static QString emptyMessageOf(const QString &title);

    QLineEdit *filterEdit() const { return m_filter; }
    QTableView *view() const { return m_view; }
    SearchModel *model() const { return m_model; }
    int shownRowCount() const;
    // The dataset row under the cursor, -1 when none is shown.
    int currentDataSetRow() const;
    void setCurrentDataSetRow(int row);
    // The dataset rows chosen: the one row of a single choice, the marked rows
    // (or the row under the cursor when none is marked) of a multiple one.
    QList<int> chosenRows() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void filterChanged(const QString &text);
    void choose();
    void updateCount();

    const ClientDataSet &m_dataSet;
    Mode m_mode;
    SearchModel *m_model; // owned (child)
    QLineEdit *m_filter;  // owned (child)
    QTableView *m_view;   // owned (child)
    QLabel *m_count;      // owned (child)
    QPushButton *m_ok;    // owned (child)
};

} // namespace prx
