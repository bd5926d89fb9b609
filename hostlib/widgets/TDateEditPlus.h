#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;

namespace prx {

class TButtonFlat;

// Date entry as dd/MM/yyyy with a calendar that drops down from its button.
// Unlike a plain date edit it may be left empty: date() is then a null date.
class TDateEditPlus : public QWidget
{
    Q_OBJECT

public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    // The typed date; a null date when the edit is empty or the text is not a
    // valid date.
    QDate date() const;
    QDate GetDate() const { return date(); }
    void setDate(const QDate &date); // a null date empties the edit
    void clear() { setDate(QDate()); }
    bool isEmpty() const;
    // The text as shown, "" when nothing was typed.
    QString text() const;

    // Empty or a valid date passes; otherwise the edit takes the focus, the
    // error box says why and the command is abandoned.
    void CheckValidDate();

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;
    QLineEdit *lineEdit() const { return m_edit; }
    TButtonFlat *calendarButton() const { return m_button; }

signals:
    void dateChanged(const QDate &date);
    void editingFinished();

private:
    void showCalendar();

    QLineEdit *m_edit;                     // owned (child)
    TButtonFlat *m_button;                 // owned (child)
    QCalendarWidget *m_calendar = nullptr; // owned (child pop-up), built on first use
    QDate m_lastDate;
};

} // namespace prx
