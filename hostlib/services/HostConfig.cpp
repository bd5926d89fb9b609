#include "HostConfig.h"

#include "HostState.h"
#include "TextUtils.h"
#include "net/NetConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace prx {

namespace {

QDate parseIsoDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), u"yyyy-MM-dd");
}

bool parseFlag(const QString &text, bool *value)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("sim") || t == QLatin1String("s") ||
        t == QLatin1String("1")) {
        *value = true;
        return true;
    }
    if (t == QLatin1String("false") || t == QLatin1String("nao") || t == QLatin1String("não") ||
        t == QLatin1String("n") || t == QLatin1String("0")) {
        *value = false;
        return true;
    }
    return false;
}

} // namespace

QString HostConfig::defaultConfigFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("prx/prx-host.ini"));
}

QString HostConfig::systemUserName()
{
    for (const char *variable : {"USER", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name;
    }
    // A service or a container often runs without USER: the account still
    // has a name, and the price history must say who changed a price.
    if (const passwd *account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
    return {};
}

QString HostConfig::usage()
{
    return QStringLiteral(
               "Uso: prx-host [--config ARQUIVO] [--server HOST:PORTA] [--db ARQUIVO|URL]\n"
               "              [--branch CODIGO] [--bound-to-branch] [--date aaaa-mm-dd]\n"
               "              [--open PRX51700] [--screenshot ARQUIVO.png]\n"
               "  --config           arquivo de configuração (padrão %1)\n"
               "  --server           endereço do servidor de aplicação\n"
               "  --db               base de dados para as consultas locais (SQLite ou "
               "postgresql://...)\n"
               "  --branch           filial de processamento\n"
               "  --bound-to-branch  o usuário não pode trocar de filial\n"
               "  --date             data de processamento\n"
               "  --open             abre a tela indicada ao iniciar\n"
               "  --screenshot       salva a imagem da janela pouco depois de iniciar e encerra")
        .arg(defaultConfigFile());
}

bool HostConfig::parseServer(const QString &text, QString *host, int *port)
{
    const QString t = text.trimmed();
    const qsizetype colon = t.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString h = t.left(colon);
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
        h = h.mid(1, h.size() - 2);
    bool ok = false;
    const int p = t.mid(colon + 1).toInt(&ok);
    if (!ok || p <= 0 || p > 65535 || h.isEmpty())
        return false;
    *host = h;
    *port = p;
    return true;
}

QList<int> HostConfig::levelsOfMask(const QString &mask)
{
    QList<int> levels;
    const QString picture = mask.section(QLatin1Char(';'), 0, 0);
    for (const QString &part : picture.split(QLatin1Char('.'))) {
        int digits = 0;
        for (const QChar c : part) {
            if (c == QLatin1Char('9') || c == QLatin1Char('0'))
                ++digits;
        }
        if (digits > 0)
            levels.append(digits);
    }
    return levels;
}

bool HostConfig::readFile(const QString &path, bool mustExist, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        if (mustExist) {
            *error = QStringLiteral("Arquivo de configuração não encontrado: %1.").arg(path);
            return false;
        }
        return true;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        *error = QStringLiteral("Arquivo de configuração ilegível: %1.").arg(path);
        return false;
    }
    const QString server = ini.value(QStringLiteral("servidor/endereco")).toString();
    if (!server.isEmpty() && !parseServer(server, &serverHost, &serverPort)) {
        *error = QStringLiteral("Endereço do servidor inválido em %1: %2.").arg(path, server);
        return false;
    }
    // Files named in the configuration are found beside it when relative.
    const QDir beside = QFileInfo(path).absoluteDir();
    auto fileValue = [&](const char *key, const QString &current) {
        const QString v = ini.value(QLatin1String(key)).toString();
        return v.isEmpty() ? current : beside.filePath(v);
    };
    serverKeyFile = fileValue("servidor/chave", serverKeyFile);
    serverCaFile = fileValue("servidor/certificado", serverCaFile);
    const QString tls = ini.value(QStringLiteral("servidor/tls")).toString();
    if (!tls.isEmpty() && !parseFlag(tls, &serverTls)) {
        *error = QStringLiteral("Valor inválido de servidor/tls em %1: %2.").arg(path, tls);
        return false;
    }
    database = ini.value(QStringLiteral("base/local"), database).toString();
    userName = ini.value(QStringLiteral("usuario/nome"), userName).toString().trimmed();
    branch = ini.value(QStringLiteral("filial/codigo"), branch).toString();
    const QString bound = ini.value(QStringLiteral("filial/vinculada")).toString();
    if (!bound.isEmpty() && !parseFlag(bound, &boundToBranch)) {
        *error = QStringLiteral("Valor inválido de filial/vinculada em %1: %2.").arg(path, bound);
        return false;
    }
    const QString date = ini.value(QStringLiteral("processamento/data")).toString();
    if (!date.isEmpty()) {
        processingDate = parseIsoDate(date);
        if (!processingDate.isValid()) {
            *error = QStringLiteral("Data de processamento inválida em %1: %2.").arg(path, date);
            return false;
        }
    }
    QString mask = ini.value(QStringLiteral("produto/mascara")).toString();
    // An INI value stops at an unquoted ';', which leaves the picture alone:
    // product codes are then stored without the separators, as by default.
    if (!mask.isEmpty() && !mask.contains(QLatin1Char(';')))
        mask += QStringLiteral(";0;_");
    if (!mask.isEmpty()) {
        if (levelsOfMask(mask).isEmpty()) {
            *error = QStringLiteral("Máscara de produto inválida em %1: %2.").arg(path, mask);
            return false;
        }
        productMask = mask;
    }
    return true;
}

bool HostConfig::fromArguments(const QStringList &args, HostConfig *config, QString *error,
                               bool *help)
{
    if (help)
        *help = false;
    HostConfig c;
    // The file comes first, wherever --config stands, so that every other
    // argument overrides it.
    QString file;
    bool explicitFile = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            file = args[i + 1];
            explicitFile = true;
        } else if (args[i].startsWith(QLatin1String("--config="))) {
            file = args[i].mid(9);
            explicitFile = true;
        }
    }
    if (!explicitFile)
        file = defaultConfigFile();
    c.configFile = file;
    if (!c.readFile(file, explicitFile, error))
        return false;

    for (int i = 0; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            value = a.section(QLatin1Char('='), 1);
            a = a.section(QLatin1Char('='), 0, 0);
            inlineValue = true;
        }
        auto takeValue = [&]() {
            if (inlineValue)
                return true;
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("Falta o valor de %1.").arg(a);
                return false;
            }
            value = args[++i];
            return true;
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            if (help)
                *help = true;
        } else if (a == QLatin1String("--config")) {
            if (!takeValue())
                return false;
        } else if (a == QLatin1String("--server")) {
            if (!takeValue())
                return false;
            if (!parseServer(value, &c.serverHost, &c.serverPort)) {
                *error = QStringLiteral("Endereço do servidor inválido: %1.").arg(value);
                return false;
            }
        } else if (a == QLatin1String("--db")) {
            if (!takeValue())
                return false;
            c.database = value;
        } else if (a == QLatin1String("--branch")) {
            if (!takeValue())
                return false;
            c.branch = value;
        } else if (a == QLatin1String("--bound-to-branch")) {
            c.boundToBranch = true;
        } else if (a == QLatin1String("--date")) {
            if (!takeValue())
                return false;
            c.processingDate = parseIsoDate(value);
            if (!c.processingDate.isValid()) {
                *error = QStringLiteral("Data de processamento inválida: %1.").arg(value);
                return false;
            }
        } else if (a == QLatin1String("--open")) {
            if (!takeValue())
                return false;
            c.openScreen = value.trimmed().toUpper();
        } else if (a == QLatin1String("--screenshot")) {
            if (!takeValue())
                return false;
            c.screenshot = value;
        } else {
            *error = QStringLiteral("Argumento desconhecido: %1.").arg(args[i]);
            return false;
        }
    }
    *config = c;
    return true;
}

void HostConfig::applyTo(HostState &state) const
{
    state.branchCode = Ajusta(branch, 4);
    state.boundToBranch = boundToBranch;
    state.processingDate = processingDate;
    state.serverHost = serverHost;
    state.serverPort = serverPort;
    state.productMask = productMask;
    state.productLevelDigits = levelsOfMask(productMask);
    NetConnection::setDefaultUserName(userName.isEmpty() ? systemUserName() : userName);
    state.userName = NetConnection::defaultUserName();
}

} // namespace prx
