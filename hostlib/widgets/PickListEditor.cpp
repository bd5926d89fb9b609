#include "PickListEditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace prx {

namespace {

// "Sábado" and "sa" meet: case and accents folded away.
QString folded(const QString &text)
{
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    }
    return out.toCaseFolded();
}

} // namespace

PickListEditor::PickListEditor(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setFrame(false);
    setMaxVisibleItems(12);
}

void PickListEditor::showPopup()
{
    if (beforeChange && !beforeChange())
        return;
    QComboBox::showPopup();
}

bool PickListEditor::chooseByKey(const QString &typed)
{
    const QString key = folded(typed);
    if (key.isEmpty() || count() == 0)
        return false;
    const bool inSuccession =
        m_typed.isValid() && m_typed.elapsed() < QApplication::keyboardInputInterval();
    m_typed.start();
    QString search = inSuccession ? m_search + key : key;
    // The same letter again walks on; a longer word may still be the entry shown.
    const bool sameLetter = search.count(search.front()) == search.size();
    if (sameLetter)
        search = key;
    const int shown = findText(currentText(), Qt::MatchFixedString);
    auto find = [&](const QString &prefix, int from) {
        for (int step = 0; step < count(); ++step) {
            const int i = (from + step) % count();
            if (folded(itemText(i)).startsWith(prefix))
                return i;
        }
        return -1;
    };
    int found = find(search, sameLetter ? shown + 1 : qMax(0, shown));
    if (found < 0 && search != key) {
        // No entry starts with the letters so far: the last one starts afresh.
        search = key;
        found = find(search, shown + 1);
    }
    if (found < 0) {
        m_search.clear();
        return false;
    }
    m_search = search;
    if (found == shown && currentText() == itemText(found))
        return true;
    if (beforeChange && !beforeChange())
        return true;
    setCurrentIndex(found);
    setEditText(itemText(found));
    if (QLineEdit *line = lineEdit())
        line->selectAll();
    return true;
}

void PickListEditor::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const bool typing = !text.isEmpty() && text.front().isPrint() && !text.front().isSpace() &&
                        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typing) {
        QComboBox::keyPressEvent(event);
        return;
    }
    // Letters never become free text here: the value comes from the list.
    event->accept();
    if (lineEdit() && lineEdit()->isReadOnly())
        return;
    chooseByKey(text);
}

void PickListEditor::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

} // namespace prx
