#include "HostDatabase.h"

#include "dataset/FieldDef.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace prx {

namespace {

QString &openedLocation()
{
    static QString location;
    return location;
}

bool isUrl(const QString &text)
{
    return text.contains(QLatin1String("://"));
}

QString openPostgres(const QString &name, const QString &text)
{
    const QUrl url(text);
    const QString shown = url.toDisplayString(QUrl::RemovePassword);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return QStringLiteral("Endereço de base de dados inválido: %1.").arg(shown);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setDatabaseName(url.path().mid(1));
    if (!db.open())
        return QStringLiteral("Não foi possível conectar à base %1: %2")
            .arg(shown, db.lastError().text());
    // The lookups only read; the session refuses anything else.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")))
        return QStringLiteral("Não foi possível preparar a conexão: %1").arg(q.lastError().text());
    return {};
}

QString openSqlite(const QString &name, const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("Base de dados não encontrada: %1.").arg(path);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(info.absoluteFilePath());
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return QStringLiteral("Não foi possível abrir a base %1: %2")
            .arg(path, db.lastError().text());
    // SQLite opens any file; reading the catalogue tells a database from
    // another kind of file.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return QStringLiteral("Não foi possível ler a base %1: %2").arg(path, q.lastError().text());
    return {};
}

} // namespace

bool HostDatabase::open(const QString &fileOrUrl, QString *error)
{
    close();
    const QString name = QLatin1String(ConnectionName);
    const QString text = fileOrUrl.trimmed();
    QString problem;
    if (text.isEmpty())
        problem = QStringLiteral("Base de dados não informada.");
    else if (isUrl(text))
        problem = openPostgres(name, text);
    else
        problem = openSqlite(name, text);
    if (!problem.isEmpty()) {
        if (QSqlDatabase::contains(name))
            QSqlDatabase::removeDatabase(name);
        if (error)
            *error = problem;
        return false;
    }
    openedLocation() = text;
    return true;
}

void HostDatabase::close()
{
    const QString name = QLatin1String(ConnectionName);
    if (QSqlDatabase::contains(name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    openedLocation().clear();
}

bool HostDatabase::isOpen()
{
    return QSqlDatabase::contains(QLatin1String(ConnectionName)) && database().isOpen();
}

bool HostDatabase::isPostgres()
{
    return isOpen() && database().driverName() == QLatin1String("QPSQL");
}

QString HostDatabase::location()
{
    return openedLocation();
}

QSqlDatabase HostDatabase::database()
{
    return QSqlDatabase::database(QLatin1String(ConnectionName), false);
}

QString HostDatabase::dateTimeText(const QDateTime &value)
{
    return value.date().toString(u"yyyy-MM-dd") + u' ' + value.time().toString(u"HH:mm:ss");
}

QDateTime HostDatabase::readDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        // The date and time as the driver read them, without any zone.
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? wallClock(dt) : QDateTime();
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? wallClock(d) : QDateTime();
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        if (text.size() < 10)
            return {};
        const QDate date = QDate::fromString(text.left(10), u"yyyy-MM-dd");
        if (!date.isValid())
            return {};
        if (text.size() == 10)
            return wallClock(date);
        const QChar sep = text.at(10);
        if (sep != QLatin1Char(' ') && sep != QLatin1Char('T'))
            return {};
        QString timeText = text.mid(11);
        const qsizetype dot = timeText.indexOf(QLatin1Char('.'));
        int ms = 0;
        if (dot >= 0) {
            bool ok = false;
            ms = timeText.mid(dot + 1, 3).leftJustified(3, QLatin1Char('0')).toInt(&ok);
            if (!ok)
                return {};
            timeText.truncate(dot);
        }
        QTime time = QTime::fromString(timeText, timeText.size() == 5 ? u"HH:mm" : u"HH:mm:ss");
        if (!time.isValid())
            return {};
        time = time.addMSecs(ms);
        return wallClock(date, time);
    }
    default:
        return {};
    }
}

} // namespace prx
