#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace prx {

class HostState;

// The host's configuration: an INI file (by default
// ~/.config/prx/prx-host.ini) with the command line applied over it.
//
//   [servidor]       endereco=HOST:PORTA   chave=ARQUIVO (chave de acesso)
//                    tls=true   certificado=ARQUIVO (certificado confiável do servidor)
//   [base]           local=ARQUIVO|URL
//   [filial]         codigo=0001   vinculada=false
//   [processamento]  data=yyyy-MM-dd
//   [produto]        mascara="99.99.9999;0;_"   (quoted: ';' starts a comment)
//
// Command line: --config FILE, --server HOST:PORT, --db FILE|URL,
// --branch CODE, --bound-to-branch, --date yyyy-MM-dd, --open SCREEN,
// --screenshot FILE.PNG (the window is saved there shortly after start and
// the host quits).
class HostConfig
{
public:
    QString configFile;
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 7451;
    QString serverKeyFile;
    bool serverTls = false;
    QString serverCaFile;
    QString database;
    QString branch;
    bool boundToBranch = false;
    QDate processingDate; // invalid: today
    QString productMask = QStringLiteral("99.99.9999;0;_");
    QString userName; // [usuario] nome=; empty: the operating system's user
    QString openScreen;
    QString screenshot;

    static QString defaultConfigFile();
    // Who runs the host when no name is configured: $USER, $USERNAME, else
    // the name of the system account the process runs under.
    static QString systemUserName();
    static QString usage();

    // Reads the configuration file and applies the arguments (without the
    // program name) over it. False with a Portuguese message in *error on a
    // bad argument or value; *help is set when help was asked for.
    static bool fromArguments(const QStringList &args, HostConfig *config, QString *error,
                              bool *help = nullptr);

    // "HOST:PORT", "[v6]:PORT"; false when either part is missing or wrong.
    static bool parseServer(const QString &text, QString *host, int *port);
    // The digits of each level of a product mask: "99.99.9999;0;_" gives 2, 2, 4.
    static QList<int> levelsOfMask(const QString &mask);

    // Puts branch, date, server and masks into the host state.
    void applyTo(HostState &state) const;

private:
    bool readFile(const QString &path, bool mustExist, QString *error);
};

} // namespace prx
