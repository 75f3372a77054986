#include "app/Startup.h"

#include "platform/AppInfo.h"
#include "platform/Errors.h"
#include "platform/Fonts.h"
#include "platform/Form.h"
#include "welcome/QV101.h"

#include <QApplication>
#include <QIcon>

void prepareApplication()
{
    Q_INIT_RESOURCE(assets);  // the pictures and icon live in this static library
    QApplication::setApplicationName(platform::Application::title());
    QApplication::setApplicationVersion(QStringLiteral(DA1011_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quorvel Press"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon16.png")));
    // The windows decide when the process ends (no window loaded), not Qt.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installFontSubstitutes();
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
