#include "Controls.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>

namespace prx {

namespace {

// A widget that only holds other widgets: its children are the controls.
bool isPlainContainer(const QWidget *w)
{
    const QMetaObject *mo = w->metaObject();
    return mo == &QWidget::staticMetaObject || mo == &QFrame::staticMetaObject ||
           mo == &QGroupBox::staticMetaObject || mo == &QSplitter::staticMetaObject ||
           mo == &QStackedWidget::staticMetaObject;
}

void setControlsEnabled(QWidget *container, bool enabled)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(container)) {
        for (int i = 0; i < tabs->count(); ++i)
            setControlsEnabled(tabs->widget(i), enabled);
        return;
    }
    if (auto *scroll = qobject_cast<QScrollArea *>(container)) {
        if (scroll->widget())
            setControlsEnabled(scroll->widget(), enabled);
        return;
    }
    const QList<QWidget *> children =
        container->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (child->isWindow())
            continue; // a dialog parented to the form is not one of its controls
        if (isPlainContainer(child) || qobject_cast<QTabWidget *>(child) ||
            qobject_cast<QScrollArea *>(child))
            setControlsEnabled(child, enabled);
        else
            child->setEnabled(enabled);
    }
}

bool canTakeFocus(const QWidget *w, const QWidget *window)
{
    return w->isEnabled() && w->isVisibleTo(window) && (w->focusPolicy() & Qt::TabFocus) &&
           !w->focusProxy();
}

QString textOf(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->text();
    if (const auto *box = qobject_cast<const QGroupBox *>(w))
        return box->title();
    return {};
}

} // namespace

void SetChildEnabled(QWidget *container, bool enabled)
{
    if (container)
        setControlsEnabled(container, enabled);
}

bool SelectFirstControl(QWidget *container)
{
    if (!container)
        return false;
    QWidget *window = container->window();
    // The tab chain is circular and runs through the whole window; start at
    // the container and take the first control inside it.
    QWidget *w = container;
    do {
        if (w != container && container->isAncestorOf(w) && canTakeFocus(w, window)) {
            w->setFocus(Qt::TabFocusReason);
            return true;
        }
        w = w->nextInFocusChain();
    } while (w && w != container);
    return false;
}

bool SelectNextControl(QWidget *current, bool forward)
{
    if (!current)
        return false;
    QWidget *window = current->window();
    QWidget *w = current;
    for (;;) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == current)
            return false;
        if (w->window() == window && canTakeFocus(w, window)) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

QStringList Trad(QWidget *form)
{
    QStringList problems;
    if (!form)
        return problems;
    QHash<QString, int> seen;
    const QList<QWidget *> widgets = form->findChildren<QWidget *>();
    for (const QWidget *w : widgets) {
        const QString text = textOf(w);
        if (text.isEmpty())
            continue;
        const QString name = w->objectName();
        if (name.isEmpty())
            problems << QStringLiteral("%1 sem nome: \"%2\"")
                            .arg(QString::fromLatin1(w->metaObject()->className()), text);
        else if (++seen[name] == 2)
            problems << QStringLiteral("nome repetido: %1").arg(name);
    }
    for (const QString &p : std::as_const(problems))
        qWarning("Tradução de %s: %s", qPrintable(form->objectName()), qPrintable(p));
    return problems;
}

} // namespace prx
