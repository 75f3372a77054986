#include "app/Startup.h"

#include "app/HandOff.h"

#include "platform/forms/Accessibility.h"
#include "platform/forms/Fonts.h"
#include "platform/forms/Form.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Handler.h"
#include "welcome/QV101.h"

#include <QApplication>
#include <QIcon>

void prepareApplication()
{
    // Qt also looks for its plugins in the executable's folder: the program's lib/, never the
    // book's folder (DA1011 there only starts this executable). The plugins of the application
    // object's own start (display, theme, input method, style) are chosen by now; every later
    // one (icons, image formats, accessibility, printing) comes only from Qt's own folders.
    QCoreApplication::removeLibraryPath(QCoreApplication::applicationDirPath());
    QApplication::setApplicationName(platform::Application::title());
    QApplication::setApplicationVersion(QStringLiteral(DA1011_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quorvel Press"));
    // The designed 16 x 16 icon, with larger renditions for task switchers and docks.
    QIcon icon(QStringLiteral(":/icon16.png"));
    for (const int size : {32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // Lets desktops match the windows to the menu entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvel.da1011"));
    // The windows decide when the process ends (no window loaded), not Qt.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installFontSubstitutes();
    platform::installAccessibility();
    QV101::setBookOpener(handoff::showReaderWindow);
}

int runProgram()
{
    auto& registry = platform::FormRegistry::instance();
    QObject::connect(&registry, &platform::FormRegistry::noWindowLoaded, &registry,
                     [] { platform::Handler::endProcess(0); });
    platform::Handler::run([] {
        QV101& welcome = QV101::instance();
        if (welcome.isLoaded())
            welcome.Show();
    });
    const int code = platform::Application::exec();
    registry.destroyAll();
    return code;
}
