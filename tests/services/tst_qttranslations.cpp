#include "GuiHelpers.h"
#include "services/QtTranslations.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace prx;

namespace {

// What a person reads on a control: no mnemonic marks, no shortcut column.
QString shown(QString text)
{
    return text.remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0).trimmed();
}

enum class Place
{
    EditMenu,
    SaveDialog,
    PrintPreview
};

// The texts of Qt's own controls as the user gets them: the context menu
// opened with a right click, the dialogs as they come up.
QStringList textsOf(Place place)
{
    QStringList texts;
    switch (place) {
    case Place::EditMenu: {
        QLineEdit edit(QStringLiteral("0001"));
        edit.resize(200, 30);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit))
            return texts;
        QTimer::singleShot(100, &edit, [&texts] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (QAction *action : menu->actions()) {
                    if (!action->isSeparator())
                        texts << shown(action->text());
                }
                menu->close();
            }
        });
        // Through the window, as a real right click comes, so that Qt makes
        // the context menu itself.
        QTest::mouseClick(edit.windowHandle(), Qt::RightButton, {}, QPoint(20, 15));
        (void)QTest::qWaitFor([&texts] { return !texts.isEmpty(); }, 3000);
        break;
    }
    case Place::SaveDialog: {
        QFileDialog dialog(nullptr, QStringLiteral("Exportar planilha"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.show();
        for (QLabel *label : dialog.findChildren<QLabel *>())
            texts << shown(label->text());
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            texts << shown(button->text());
        break;
    }
    case Place::PrintPreview: {
        QPrinter printer;
        QPrintPreviewDialog preview(&printer);
        for (QAction *action : preview.findChildren<QAction *>())
            texts << shown(action->text()) << shown(action->toolTip());
        break;
    }
    }
    return texts;
}

} // namespace

class QtTranslationsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Qt's own menus and dialogs were English in a Portuguese program: the
    // host must load Qt's catalogue, and every such text must be translated.
    void qtTextsInPortuguese_data();
    void qtTextsInPortuguese();
};

void QtTranslationsTest::initTestCase()
{
    QString error;
    QVERIFY2(installQtTranslations(&error), qPrintable(error));
    QVERIFY(installQtTranslations()); // a second call neither fails nor loads twice
}

void QtTranslationsTest::qtTextsInPortuguese_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QStringList>("portuguese");
    QTest::addColumn<QStringList>("english");

    QTest::newRow("menu de contexto da edição")
        << int(Place::EditMenu) << QStringList{"Desfazer", "Refazer", "Recortar",       "Copiar",
                                               "Colar",    "Excluir", "Selecionar tudo"}
        << QStringList{"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"};
    QTest::newRow("diálogo de salvar")
        << int(Place::SaveDialog) << QStringList{"Procurar em:", "Salvar", "Cancelar"}
        << QStringList{"Look in:", "Save", "Cancel", "File name:"};
    QTest::newRow("visualização de impressão")
        << int(Place::PrintPreview) << QStringList{"Ampliar", "Reduzir", "Imprimir"}
        << QStringList{"Zoom in", "Zoom out", "Print"};
}

void QtTranslationsTest::qtTextsInPortuguese()
{
    QFETCH(int, place);
    QFETCH(QStringList, portuguese);
    QFETCH(QStringList, english);
    const QStringList texts = textsOf(Place(place));
    for (const QString &text : portuguese)
        QVERIFY2(texts.contains(text), qPrintable(text + QStringLiteral(" | ") + texts.join('|')));
    for (const QString &text : english)
        QVERIFY2(!texts.contains(text), qPrintable(text));
}

QTEST_MAIN(QtTranslationsTest)
#include "tst_qttranslations.moc"
