#pragma once

#include <QLineEdit>

namespace prx {

// Number entry with the decimal comma. While the user types, the text is the
// plain number ("1234,5"); when the edit is left it shows the number in its
// format ("1.234,50"). A typed point is taken as the decimal comma.
class TNumberEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TNumberEdit(QWidget *parent = nullptr);

    // Decimals and grouping build the format ("#,##0.00" or "0.00");
    // setFormat gives one directly.
    void setDecimals(int decimals);
    int decimals() const { return m_decimals; }
    void setThousands(bool grouped);
    void setFormat(const QString &format);
    QString format() const { return m_format; }

    bool hasValue() const;
    double value() const; // 0 when empty or not a number
    double GetNumber() const { return value(); }
    void setValue(double value);
    // Empty or a number passes; otherwise the edit takes the focus, the error
    // box says why and the command is abandoned.
    void CheckNumber();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool parse(double *value) const;
    void rebuildFormat();
    void showFormatted();

    int m_decimals = 2;
    bool m_thousands = true;
    QString m_format;
};

} // namespace prx
