// prx-host [--config FILE] [--server HOST:PORT] [--db FILE|URL] [--branch CODE]
//          [--bound-to-branch] [--date yyyy-MM-dd] [--open PRX51700]
//          [--screenshot FILE.png]

#include "MainWindow.h"

#include "net/NetConnection.h"
#include "services/DialogHostUi.h"
#include "services/HostConfig.h"
#include "services/HostState.h"
#include "services/QtTranslations.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

using namespace prx;

namespace {

void printErr(const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

// The whole screen where a window system gives one (message boxes and
// dialogs are separate windows), else the main window alone.
bool saveScreenshot(QWidget *window, const QString &path)
{
    QPixmap shot;
    QScreen *screen = window->screen();
    if (screen && QGuiApplication::platformName() == QLatin1String("xcb"))
        shot = screen->grabWindow(0);
    if (shot.isNull())
        shot = window->grab();
    return shot.save(path, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prx-host"));
    QApplication::setOrganizationName(QStringLiteral("prx"));
    // Qt's own menus and dialogs speak Portuguese too; without the catalogue
    // the host still runs, and says why those texts are in English.
    QString translationError;
    if (!installQtTranslations(&translationError))
        printErr(QStringLiteral("prx-host: %1").arg(translationError));

    HostConfig config;
    QString error;
    bool help = false;
    if (!HostConfig::fromArguments(app.arguments().mid(1), &config, &error, &help)) {
        printErr(QStringLiteral("prx-host: %1").arg(error));
        printErr(HostConfig::usage());
        return 2;
    }
    if (help) {
        printErr(HostConfig::usage());
        return 0;
    }
    config.applyTo(HostState::instance());
    // Every server connection of the host and its modules proves the key and
    // talks TLS as configured.
    ClientAccess access;
    if (!ClientAccess::load(config.serverKeyFile, config.serverTls, config.serverCaFile, &access,
                            &error)) {
        printErr(QStringLiteral("prx-host: %1").arg(error));
        return 2;
    }
    NetConnection::setDefaultAccess(access);

    MainWindow window;
    DialogHostUi ui(&window);
    ui.install();
    if (config.screenshot.isEmpty())
        window.showAtStart();
    else
        window.show(); // a picture of a known size, whatever the user left

    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        window.startUp(config);
        if (!config.openScreen.isEmpty())
            window.openScreen(config.openScreen);
    });
    if (!config.screenshot.isEmpty()) {
        QTimer::singleShot(2000, &window, [&] {
            if (!saveScreenshot(&window, config.screenshot)) {
                printErr(QStringLiteral("Não foi possível salvar %1.").arg(config.screenshot));
                status = 1;
            }
            QApplication::exit(status);
        });
    }
    const int result = QApplication::exec();
    return status != 0 ? status : result;
}
