#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace prx {

class ClientDataSet;

// The find window: the user picks one of the dataset's visible fields and
// types the start of a value; "Procurar" goes to the first row whose text in
// that field starts with it (letter case ignored) and closes the window,
// "Próximo" goes to the next such row after the current one and stays open.
class FindWindow : public QDialog
{
    Q_OBJECT

public:
    explicit FindWindow(ClientDataSet &dataSet, QWidget *parent = nullptr);

    QComboBox *fieldCombo() const { return m_field; }
    QLineEdit *valueEdit() const { return m_value; }

    // The first row from `from` on whose text in the field starts with the
    // value; -1 when none does.
    int findFrom(int fieldIndex, const QString &value, int from) const;

private:
    void search(bool next);

    ClientDataSet &m_dataSet;
    QComboBox *m_field;  // owned (child)
    QLineEdit *m_value;  // owned (child)
    QPushButton *m_find; // owned (child)
    QPushButton *m_next; // owned (child)
};

} // namespace prx
