#include "ScriptedHostUi.h"

#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"

#include <QCoreApplication>
#include <QDir>
#include <QPdfWriter>
#include <QTest>

namespace prx::test {

namespace {

bool isQuestion(const QList<int> &buttons)
{
    for (int b : buttons) {
        if (b != MsgOk)
            return true;
    }
    return false;
}

// Moves the dataset to the first row in view whose field holds the value.
bool moveToValue(ClientDataSet &ds, const QString &fieldName, const QVariant &value)
{
    const Field *field = ds.findField(fieldName);
    if (!field)
        return false;
    for (int row = 0; row < ds.recordCount(); ++row) {
        if (ds.valueAt(row, field->index()) == value ||
            ds.displayTextAt(row, field->index()) == value.toString()) {
            ds.moveTo(row);
            return true;
        }
    }
    return false;
}

} // namespace

ScriptedHostUi::ScriptedHostUi()
{
    HostUi::install(this);
    setServerErrorReporter([this](const QString &message) { errorBox(message); });
}

ScriptedHostUi::~ScriptedHostUi()
{
    if (&HostUi::instance() == this) {
        HostUi::install(nullptr);
        setServerErrorReporter({});
    }
}

void ScriptedHostUi::answerQuestion(int button, const QString &expectedText)
{
    m_script.append({Kind::Question, button, expectedText, false, {}});
}

void ScriptedHostUi::chooseRow(const QString &fieldName, const QVariant &value)
{
    m_script.append({Kind::Search, 0, {}, false, [fieldName, value](ClientDataSet &ds) {
                         return moveToValue(ds, fieldName, value);
                     }});
}

void ScriptedHostUi::chooseRowAt(int viewRow)
{
    m_script.append({Kind::Search, 0, {}, false, [viewRow](ClientDataSet &ds) {
                         if (viewRow < 0 || viewRow >= ds.recordCount())
                             return false;
                         ds.moveTo(viewRow);
                         return true;
                     }});
}

void ScriptedHostUi::cancelSearch()
{
    m_script.append({Kind::Search, 0, {}, true, {}});
}

void ScriptedHostUi::answerList(const QString &list)
{
    m_script.append({Kind::List, 0, list, list.isNull(), {}});
}

void ScriptedHostUi::cancelList()
{
    m_script.append({Kind::List, 0, {}, true, {}});
}

void ScriptedHostUi::findRow(const QString &fieldName, const QVariant &value)
{
    m_script.append({Kind::Find, 0, {}, false, [fieldName, value](ClientDataSet &ds) {
                         return moveToValue(ds, fieldName, value);
                     }});
}

QString ScriptedHostUi::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Question:
        return QStringLiteral("pergunta");
    case Kind::Search:
        return QStringLiteral("pesquisa");
    case Kind::List:
        return QStringLiteral("escolha em lista");
    case Kind::Find:
        return QStringLiteral("procura");
    }
    return {};
}

void ScriptedHostUi::failure(const QString &message)
{
    m_unexpected.append(message);
    if (m_failOnUnexpected)
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
}

bool ScriptedHostUi::take(Kind kind, const QString &what, Answer *answer)
{
    if (m_script.isEmpty()) {
        failure(QStringLiteral("%1 sem resposta no roteiro: %2").arg(kindName(kind), what));
        return false;
    }
    if (m_script.first().kind != kind) {
        failure(QStringLiteral("o roteiro esperava %1, veio %2: %3")
                    .arg(kindName(m_script.first().kind), kindName(kind), what));
        return false;
    }
    *answer = m_script.takeFirst();
    return true;
}

int ScriptedHostUi::messageBox(const QString &text, MsgKind kind, const QList<int> &buttons)
{
    const QList<int> shown = buttons.isEmpty() ? QList<int>{MsgOk} : buttons;
    int result = shown.first();
    if (isQuestion(shown)) {
        // Without an answer, the cautious one: no, else cancel.
        result = shown.contains(MsgNo) ? MsgNo : shown.contains(MsgCancel) ? MsgCancel : result;
        Answer a;
        if (take(Kind::Question, text, &a)) {
            if (!a.text.isEmpty() && !text.contains(a.text))
                failure(QStringLiteral("pergunta diferente da esperada: \"%1\" (esperava \"%2\")")
                            .arg(text, a.text));
            else if (!shown.contains(a.button))
                failure(QStringLiteral("a resposta %1 não é um dos botões de \"%2\"")
                            .arg(a.button)
                            .arg(text));
            else
                result = a.button;
        }
    }
    m_messages.append({text, kind, shown, result});
    return result;
}

void ScriptedHostUi::errorBox(const QString &text)
{
    m_messages.append({text, MsgKind::Error, {MsgOk}, MsgOk});
}

bool ScriptedHostUi::pesquisar(DataSource &source, const QString &title)
{
    m_searchTitles.append(title);
    Answer a;
    if (!take(Kind::Search, title, &a) || a.cancel)
        return false;
    ClientDataSet *ds = source.dataSet();
    if (!ds || !ds->isActive() || !a.move(*ds)) {
        failure(QStringLiteral("a linha escolhida pelo roteiro não está na pesquisa \"%1\"")
                    .arg(title));
        return false;
    }
    return true;
}

bool ScriptedHostUi::pesquisaLista(DataSource &, const QString &, const QString &title,
                                   QString *list)
{
    m_searchTitles.append(title);
    Answer a;
    if (!take(Kind::List, title, &a) || a.cancel)
        return false;
    *list = a.text;
    return true;
}

void ScriptedHostUi::procura(ClientDataSet &dataSet)
{
    Answer a;
    if (!take(Kind::Find, dataSet.objectName(), &a) || a.cancel)
        return;
    if (!a.move(dataSet))
        failure(QStringLiteral("a linha procurada pelo roteiro não existe"));
}

void ScriptedHostUi::busyOn(int kind, const QString &text)
{
    ++m_busyOn;
    m_busyKinds.append(kind);
    m_busyTexts.append(text);
    m_maxDepth = qMax(m_maxDepth, busyDepth());
}

void ScriptedHostUi::printPreview(const QString &title, const PagePainter &paint)
{
    const QString path = QDir::temp().filePath(QStringLiteral("prx-previa-%1-%2.pdf")
                                                   .arg(QCoreApplication::applicationPid())
                                                   .arg(m_previewFiles.size() + 1));
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        paint(writer);
    }
    m_previewFiles << path;
    m_previewTitles << title;
}

void ScriptedHostUi::busyOff()
{
    if (busyDepth() == 0) {
        m_busyUnderflow = true; // an off without its on
        return;
    }
    ++m_busyOff;
}

QStringList ScriptedHostUi::texts() const
{
    QStringList all;
    for (const Shown &s : m_messages)
        all.append(s.text);
    return all;
}

QString ScriptedHostUi::lastText() const
{
    return m_messages.isEmpty() ? QString() : m_messages.last().text;
}

QStringList ScriptedHostUi::errors() const
{
    QStringList all;
    for (const Shown &s : m_messages) {
        if (s.kind == MsgKind::Error)
            all.append(s.text);
    }
    return all;
}

void ScriptedHostUi::clearRecord()
{
    m_messages.clear();
    m_searchTitles.clear();
    m_unexpected.clear();
    m_busyOn = m_busyOff = m_maxDepth = 0;
    m_busyUnderflow = false;
    m_busyKinds.clear();
    m_busyTexts.clear();
}

} // namespace prx::test
