#pragma once

#include "services/HostUi.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

namespace prx::test {

// The HostUi of the GUI tests: records every message shown and answers from a
// script, in order. A question (a box with more than an OK button), a search
// or a list choice with no scripted answer, or with an answer of another
// kind, fails the running test and gets the cautious answer (no, nothing
// chosen). Busy on/off calls are counted so that a test can assert they
// balance.
//
// Constructing one installs it, server errors included (they land in the
// error box as in the host); destroying it puts the defaults back.
class ScriptedHostUi : public HostUi
{
public:
    struct Shown
    {
        QString text;
        MsgKind kind;
        QList<int> buttons;
        int answer; // the button returned
    };

    ScriptedHostUi();
    ~ScriptedHostUi() override;
    ScriptedHostUi(const ScriptedHostUi &) = delete;
    ScriptedHostUi &operator=(const ScriptedHostUi &) = delete;

    // --- the script, consumed in order
    // Answers the next question; with expectedText, the question must say it.
    void answerQuestion(int button, const QString &expectedText = {});
    // The next search chooses the first row whose field has this value.
    void chooseRow(const QString &fieldName, const QVariant &value);
    // The next search chooses the row at this position of the dataset's view.
    void chooseRowAt(int viewRow);
    // The next search is closed without a choice.
    void cancelSearch();
    // The next list choice returns this list text (a cancel when null).
    void answerList(const QString &list);
    void cancelList();
    // The next find window moves to the first row whose field has this value.
    void findRow(const QString &fieldName, const QVariant &value);
    int pendingAnswers() const { return int(m_script.size()); }

    // Failures are recorded in unexpected(); with this on (the default) they
    // also fail the running test.
    void setFailOnUnexpected(bool fail) { m_failOnUnexpected = fail; }
    const QStringList &unexpected() const { return m_unexpected; }

    // --- what was shown
    const QList<Shown> &messages() const { return m_messages; }
    QStringList texts() const;
    QString lastText() const;
    QStringList errors() const; // texts of the error boxes
    QStringList searchTitles() const { return m_searchTitles; }
    void clearRecord();

    // --- busy indicator
    int busyOnCount() const { return m_busyOn; }
    int busyOffCount() const { return m_busyOff; }
    int busyDepth() const { return m_busyOn - m_busyOff; }
    int maxBusyDepth() const { return m_maxDepth; }
    bool busyBalanced() const { return m_busyOn == m_busyOff && !m_busyUnderflow; }
    const QList<int> &busyKinds() const { return m_busyKinds; }
    const QStringList &busyTexts() const { return m_busyTexts; }

    // --- HostUi
    int messageBox(const QString &text, MsgKind kind, const QList<int> &buttons) override;
    void errorBox(const QString &text) override;
    bool pesquisar(DataSource &source, const QString &title) override;
    bool pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                       QString *list) override;
    void procura(ClientDataSet &dataSet) override;
    void busyOn(int kind, const QString &text) override;
    void busyOff() override;
    QWidget *mainWindow() const override { return m_mainWindow; }
    void setMainWindow(QWidget *window) { m_mainWindow = window; }
    // A print preview is written to a PDF file of the system's temporary
    // folder instead; the paths and titles in the order shown.
    void printPreview(const QString &title, const PagePainter &paint) override;
    const QStringList &previewFiles() const { return m_previewFiles; }
    const QStringList &previewTitles() const { return m_previewTitles; }

private:
    enum class Kind
    {
        Question,
        Search,
        List,
        Find
    };
    struct Answer
    {
        Kind kind;
        int button = 0;
        QString text; // expected question text, or the list
        bool cancel = false;
        std::function<bool(ClientDataSet &)> move; // positions the dataset
    };
    static QString kindName(Kind kind);
    bool take(Kind kind, const QString &what, Answer *answer);
    void failure(const QString &message);

    QList<Answer> m_script;
    QList<Shown> m_messages;
    QStringList m_searchTitles;
    QStringList m_unexpected;
    bool m_failOnUnexpected = true;
    int m_busyOn = 0;
    int m_busyOff = 0;
    int m_maxDepth = 0;
    bool m_busyUnderflow = false;
    QList<int> m_busyKinds;
    QStringList m_busyTexts;
    QWidget *m_mainWindow = nullptr;
    QStringList m_previewFiles;
    QStringList m_previewTitles;
};

} // namespace prx::test
