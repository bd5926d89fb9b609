#pragma once

#include "MaskEdit.h"

#include <QDate>
#include <QDateTime>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;

namespace prx {

class TButtonFlat;

// Date entry as dd/MM/yyyy (dd/MM/yyyy HH:mm with the time shown) with a
// calendar that drops down from its button. Unlike a plain date edit it may
// be left empty: date() is then a null date. The text is typed through a
// mask, as a whole: nothing is taken before the value is complete, so a
// value typed is never turned into another one on the way; an incomplete or
// impossible value reads as null and CheckValidDate says so.
class TDateEditPlus : public QWidget
{
    Q_OBJECT

public:
    explicit TDateEditPlus(QWidget *parent = nullptr);
    ~TDateEditPlus() override;

    // The typed date; a null date when the edit is empty or the text is not a
    // valid date.
    QDate date() const;
    QDate GetDate() const { return date(); }
    void setDate(const QDate &date); // a null date empties the edit
    void clear() { setDate(QDate()); }

    // With the time shown the edit takes an hour and minutes after the date.
    void setTimeShown(bool shown);
    bool timeShown() const { return m_withTime; }
    // The typed date and time (00:00 without the time shown); invalid when
    // the edit is empty or its text is not a valid moment.
    QDateTime dateTime() const;
    void setDateTime(const QDateTime &dateTime); // an invalid one empties the edit
    bool isEmpty() const;
    // The text as shown, "" when nothing was typed.
    QString text() const;

    // A valid date passes, and so does an empty edit unless required;
    // otherwise the edit takes the focus, the error box says why and the
    // command is abandoned.
    void CheckValidDate(bool required = false);

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;
    QLineEdit *lineEdit() const { return m_edit; }
    TButtonFlat *calendarButton() const { return m_button; }

signals:
    void dateChanged(const QDate &date);
    void editingFinished();

private:
    void showCalendar();
    QString format() const;

    MaskEdit *m_edit;                      // owned (child)
    TButtonFlat *m_button;                 // owned (child)
    QCalendarWidget *m_calendar = nullptr; // owned (child pop-up), built on first use
    QDate m_lastDate;
    bool m_withTime = false;
};

} // namespace prx
