#include "GridData.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace prx::test {

namespace {
const char *const names[] = {"Água Mineral", "Bauru",  "Café Expresso", "Coxinha",
                             "Misto Quente", "Pastel", "Refrigerante",  "Suco de Laranja"};
}

QString itemName(int row)
{
    return QString::fromUtf8(names[row % 8]);
}

std::unique_ptr<ClientDataSet> makeItems(int rows)
{
    auto ds = std::make_unique<ClientDataSet>();
    ds->addField(QStringLiteral("CODIGO"), FieldType::String, 4)
        .setDisplayLabel(QStringLiteral("Código"));
    ds->addField(QStringLiteral("NOME"), FieldType::String, 30)
        .setDisplayLabel(QStringLiteral("Nome"));
    Field &preco = ds->addField(QStringLiteral("PRECO"), FieldType::Float);
    preco.setDisplayLabel(QStringLiteral("Preço"));
    preco.setDisplayFormat(QStringLiteral("#,##0.00"));
    Field &hora = ds->addField(QStringLiteral("HORA"), FieldType::String, 4);
    hora.setDisplayLabel(QStringLiteral("Hora"));
    hora.setEditMask(QStringLiteral("99:99;0; "));
    Field &ativo = ds->addField(QStringLiteral("ATIVO"), FieldType::String, 1);
    ativo.setDisplayLabel(QStringLiteral("Ativo"));
    ativo.onGetText = [](Field &f, QString &text, bool) {
        if (f.asString() == QLatin1String("S"))
            text = QStringLiteral("Sim");
        else if (f.asString() == QLatin1String("N"))
            text = QStringLiteral("Não");
    };
    ativo.onSetText = [](Field &f, const QString &text) {
        if (text == QLatin1String("Sim"))
            f.setAsString(QStringLiteral("S"));
        else if (text == QStringLiteral("Não"))
            f.setAsString(QStringLiteral("N"));
    };
    ds->createDataSet();
    ds->setLogChanges(false);
    for (int i = 0; i < rows; ++i) {
        ds->appendRecord({QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')), itemName(i),
                          (i + 1) * 1.5, QStringLiteral("0800"),
                          i % 2 == 0 ? QStringLiteral("S") : QStringLiteral("N")});
    }
    ds->setLogChanges(true);
    ds->first();
    return ds;
}

std::unique_ptr<ClientDataSet> makeLarge(int rows)
{
    ColumnTable table({{QStringLiteral("CODIGO"), FieldType::String, 10},
                       {QStringLiteral("NOME"), FieldType::String, 30}});
    table.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const int r = table.appendRow();
        table.setString(r, 0, QString::number(i));
        table.setString(r, 1, itemName(i));
    }
    auto ds = std::make_unique<ClientDataSet>();
    ds->loadPacket(std::move(table));
    return ds;
}

bool showAndActivate(QWidget *widget)
{
    widget->show();
    widget->activateWindow();
    QApplication::setActiveWindow(widget);
    return QTest::qWaitForWindowActive(widget);
}

} // namespace prx::test
