#include "sheet/SheetFileQuestion.h"

#include <QFileDialog>

namespace prx {

namespace {
SheetFileQuestion::Answer &answerHook()
{
    static SheetFileQuestion::Answer hook;
    return hook;
}
} // namespace

QString SheetFileQuestion::ask(QWidget *parent, bool save, const QString &suggested)
{
    if (answerHook())
        return answerHook()(save, suggested);
    if (save) {
        return QFileDialog::getSaveFileName(
            parent, QStringLiteral("Exportar planilha"), suggested,
            QStringLiteral("Planilha CSV (*.csv);;Pasta de trabalho XLSX (*.xlsx)"));
    }
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("Importar planilha"), suggested,
        QStringLiteral("Planilhas (*.csv *.xlsx);;Planilha CSV (*.csv);;"
                       "Pasta de trabalho XLSX (*.xlsx);;Todos (*)"));
}

void SheetFileQuestion::setAnswer(Answer answer)
{
    answerHook() = std::move(answer);
}

} // namespace prx
