#include "methods/MethodSupport.h"

#include "storage/Storage.h"

#include <QRegularExpression>

namespace prx::server {

QDateTime parseDateText(const QVariant &text, const QString &what)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{2})/(\\d{2})/(\\d{4})(?: (\\d{2}):(\\d{2}):(\\d{2}))?$"));
    const QRegularExpressionMatch m = re.match(text.toString());
    if (m.hasMatch()) {
        const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
        const QTime time =
            m.capturedLength(4) > 0
                ? QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt())
                : QTime(0, 0);
        if (date.isValid() && time.isValid())
            return wallClock(date, time);
    }
    throw ServerError(QStringLiteral("%1 inválida: \"%2\". Informe a data no formato dd/mm/aaaa.")
                          .arg(what, text.toString()),
                      ErrorArguments);
}

bool isValidHour(const QString &text)
{
    if (text.size() != 4)
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return QStringView(text).left(2).toInt() <= 23 && QStringView(text).mid(2).toInt() <= 59;
}

QString dateText(const QDateTime &value)
{
    return value.isValid() ? value.date().toString(u"dd/MM/yyyy") : QString();
}

QSqlQuery runQuery(const Storage &storage, const QString &sql, const SqlBinds &binds,
                   const QString &doing)
{
    QSqlQuery q = storage.prepare(sql);
    for (const auto &[name, value] : binds)
        q.bindValue(name, value);
    storage.exec(q, doing);
    return q;
}

bool queryHasRows(const Storage &storage, const QString &sql, const SqlBinds &binds)
{
    return runQuery(storage, sql, binds, QStringLiteral("verificar registros")).next();
}

bool tableIsAssigned(const Storage &storage, const QString &branch, const QString &table)
{
    for (const char *assignment : {"TABPRECFILI", "TABPRECLOJA", "TABPRECCLI", "TABPRECCLIFILI"}) {
        if (queryHasRows(storage,
                         QStringLiteral("SELECT 1 FROM %1 WHERE CDFILTABPR = :branch AND "
                                        "CDTABEPREC = :table")
                             .arg(QLatin1String(assignment)),
                         {{QStringLiteral(":branch"), branch}, {QStringLiteral(":table"), table}}))
            return true;
    }
    return false;
}

void registerAllMethods(MethodRegistry &registry)
{
    registerBranchMethods(registry);
    registerPeriodMethods(registry);
    registerPeriodStateMethods(registry);
    registerItemMethods(registry);
    registerComponentMethods(registry);
    registerDayPriceMethods(registry);
    registerCostMethods(registry);
    registerPromotionMethods(registry);
    registerTransferMethods(registry);
    registerImportMethods(registry);
    registerAutoDayPriceMethods(registry);
    registerCopyMethods(registry);
    registerSheetImportMethods(registry);
    registerSheetDayPriceImportMethods(registry);
    registerPriceInForceMethods(registry);
    registerHolidayMethods(registry);
    registerHistoryMethods(registry);
    registerConsistencyMethods(registry);
    registerReviewMethods(registry);
    registerShelfChangeMethods(registry);
}

} // namespace prx::server
