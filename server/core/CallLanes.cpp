#include "core/CallLanes.h"

#include <QCborStreamReader>

namespace prx::server {

namespace {

// A request this large carries rows to write, whatever its method. It also
// bounds what the classifier reads of a body.
constexpr qsizetype LargeRequestBytes = 256 * 1024;

// Nesting the skip of an argument may go into; deeper is refused later by
// the worker's own decoding, and is long here.
constexpr int SkipDepth = 64;

// Reads a whole text item; false when the item is not one.
bool readText(QCborStreamReader &reader, QString *text)
{
    if (!reader.isString())
        return false;
    text->clear();
    auto chunk = reader.readString();
    while (chunk.status == QCborStreamReader::Ok) {
        *text += chunk.data;
        chunk = reader.readString();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

} // namespace

CallLanes::CallLanes() : CallLanes(defaultLongMethods()) {}

CallLanes::CallLanes(const QStringList &longMethods)
{
    for (const QString &method : longMethods)
        m_long.insert(method.toLower());
}

QStringList CallLanes::defaultLongMethods()
{
    return {
        // reads of whole periods, or of every product of one
        QStringLiteral("GetItemPreco"),
        QStringLiteral("GetPrecoHora"),
        QStringLiteral("GetItemPrecoComp"),
        QStringLiteral("GetHistPreco"),
        QStringLiteral("GetPrecoVigenteLote"),
        QStringLiteral("GetAutItemPreco"),
        QStringLiteral("getProdutosCopia"),
        QStringLiteral("getProdSemImpos"),
        QStringLiteral("GetVerifItemPrecoCad"),
        QStringLiteral("GetAlteracoesPreco"),
        QStringLiteral("GetAlteracoesPrecoProxVig"),
        // checks and the review over a period or the whole database
        QStringLiteral("GetVerifConsistencia"),
        QStringLiteral("GetRevisaoVigencia"),
        QStringLiteral("setAlteraStatus"),
        // bulk writers; a period's save may delete everything priced in it
        QStringLiteral("SetCalcPreco"),
        QStringLiteral("SetItemPrecoAtuPrec"),
        QStringLiteral("SetPrecDif"),
        QStringLiteral("setCopiaPreco"),
        QStringLiteral("SetUpdItemPrecoAlt"),
        QStringLiteral("SetAddPrefixo"),
        QStringLiteral("SetDelPrefixo"),
        QStringLiteral("SetTabeVend"),
        // exports and imports, the spreadsheet ones included
        QStringLiteral("getExpProduto"),
        QStringLiteral("setConfirmar"),
        QStringLiteral("setConfirmar2"),
        QStringLiteral("SetImportaVigencia"),
        QStringLiteral("SetItemPrecoPlanilha"),
        QStringLiteral("SetPrecoHoraPlanilha"),
    };
}

WorkerPool::Lane CallLanes::laneOf(const QByteArray &body) const
{
    using Lane = WorkerPool::Lane;
    if (body.size() > LargeRequestBytes)
        return Lane::Long;
    QCborStreamReader reader(body);
    if (!reader.isMap() || !reader.enterContainer())
        return Lane::Long;
    QString key;
    while (reader.lastError() == QCborError::NoError && reader.hasNext()) {
        if (!readText(reader, &key))
            return Lane::Long;
        if (key == QLatin1StringView("method")) {
            QString method;
            if (!readText(reader, &method))
                return Lane::Long;
            return m_long.contains(method.toLower()) ? Lane::Long : Lane::Short;
        }
        if (!reader.next(SkipDepth))
            return Lane::Long;
    }
    return Lane::Long;
}

} // namespace prx::server
