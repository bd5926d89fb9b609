#pragma once

// A PostgreSQL server for a benchmark, and throwaway databases on it:
//  - PRX_BENCH_PG_URL when set (its user must be allowed to create
//    databases; its database is only used to create and drop the others);
//  - otherwise the local server on 127.0.0.1:5432 as postgres, when it
//    answers (the one CI starts) and PRX_BENCH_PG_OWN is not set;
//  - otherwise a cluster of its own, made with initdb from the newest
//    /usr/lib/postgresql/*/bin in a temporary directory on a free port (as
//    the postgres user when run as root), stopped and removed at the end.
// Every database made here is dropped at the end as well.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <optional>

#include <unistd.h>

namespace prx::bench {

class PgCluster
{
public:
    PgCluster() = default;
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    ~PgCluster()
    {
        for (const QString &name : QStringList(m_made))
            dropDatabase(name);
        {
            QSqlDatabase db = QSqlDatabase::database(kAdmin, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(kAdmin);
        if (!m_dataDir.isEmpty())
            runAsOwner(m_bin + QStringLiteral("/pg_ctl"),
                       {QStringLiteral("-D"), m_dataDir, QStringLiteral("-m"),
                        QStringLiteral("immediate"), QStringLiteral("stop")});
    }

    // False, with the reason in *error, when no server can be had.
    bool start(QString *error)
    {
        const QString given = qEnvironmentVariable("PRX_BENCH_PG_URL");
        if (!given.isEmpty()) {
            m_base = QUrl(given);
            m_where = QStringLiteral("PRX_BENCH_PG_URL");
            return connectAdmin(error);
        }
        m_base = QUrl(QStringLiteral("postgresql://postgres@127.0.0.1:5432/postgres"));
        QString ignored;
        if (!qEnvironmentVariableIsSet("PRX_BENCH_PG_OWN") && connectAdmin(&ignored)) {
            m_where = QStringLiteral("servidor local em 127.0.0.1:5432");
            return true;
        }
        QSqlDatabase::removeDatabase(kAdmin);
        return startOwn(error) && connectAdmin(error);
    }

    QString where() const { return m_where; }

    // The URL of database `name` on this server.
    QString url(const QString &name) const
    {
        QUrl u = m_base;
        u.setPath(u'/' + name);
        u.setQuery(QString());
        return u.toString();
    }

    // A new empty database, or a copy of `from` (which must have no other
    // connection open); dropped at the end.
    bool createDatabase(const QString &name, const QString &from, QString *error)
    {
        dropDatabase(name);
        QString sql = QStringLiteral("CREATE DATABASE %1").arg(name);
        if (!from.isEmpty())
            sql += QStringLiteral(" TEMPLATE %1").arg(from);
        if (!admin(sql, error))
            return false;
        m_made << name;
        return true;
    }

    void dropDatabase(const QString &name)
    {
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name), nullptr);
        m_made.removeAll(name);
    }

private:
    static inline const QString kAdmin = QStringLiteral("prx-bench-pg-admin");

    bool connectAdmin(QString *error)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kAdmin);
        db.setHostName(m_base.host().isEmpty() ? QStringLiteral("127.0.0.1") : m_base.host());
        db.setPort(m_base.port(5432));
        db.setUserName(m_base.userName());
        db.setPassword(m_base.password());
        db.setDatabaseName(m_base.path().mid(1));
        if (db.open()) {
            // "does not exist, skipping" is no news to a benchmark.
            QSqlQuery(db).exec(QStringLiteral("SET client_min_messages TO WARNING"));
            return true;
        }
        if (error)
            *error = db.lastError().text();
        return false;
    }

    bool admin(const QString &sql, QString *error)
    {
        QSqlQuery q(QSqlDatabase::database(kAdmin, false));
        if (q.exec(sql))
            return true;
        if (error)
            *error = sql + QStringLiteral(": ") + q.lastError().text();
        return false;
    }

    // initdb refuses to run as root: the cluster belongs to postgres then.
    int runAsOwner(const QString &program, const QStringList &args, QString *output = nullptr)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0)
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                QStringLiteral("--"), program} +
                        args);
        else
            p.start(program, args);
        p.waitForFinished(-1);
        if (output)
            *output = QString::fromLocal8Bit(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    bool startOwn(QString *error)
    {
        QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(),
                  [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        if (versions.isEmpty()) {
            *error = QStringLiteral("PostgreSQL não instalado em /usr/lib/postgresql.");
            return false;
        }
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(versions.last());
        m_dir.emplace();
        const QString root = m_dir->path();
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), root});
        int port = 0;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        QString output;
        const QString data = root + QStringLiteral("/data");
        if (runAsOwner(m_bin + QStringLiteral("/initdb"),
                       {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                        QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                        QStringLiteral("UTF8")},
                       &output) != 0) {
            *error = QStringLiteral("initdb: ") + output;
            return false;
        }
        m_dataDir = data;
        if (runAsOwner(
                m_bin + QStringLiteral("/pg_ctl"),
                {QStringLiteral("-D"), data, QStringLiteral("-l"), root + QStringLiteral("/log"),
                 QStringLiteral("-w"), QStringLiteral("-o"),
                 QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(port).arg(root),
                 QStringLiteral("start")},
                &output) != 0) {
            *error = QStringLiteral("pg_ctl: ") + output;
            return false;
        }
        m_base = QUrl(QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres").arg(port));
        m_where = QStringLiteral("cluster próprio na porta %1").arg(port);
        return true;
    }

    QUrl m_base;
    QString m_where;
    QStringList m_made;
    std::optional<QTemporaryDir> m_dir;
    QString m_bin, m_dataDir;
};

} // namespace prx::bench
