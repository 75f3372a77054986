// A platform theme plugin as Qt finds it in a platformthemes/ folder, under a theme name that
// no installed plugin has; it only marks that it was loaded.
#include "app/planted/PlantedMarker.h"

#include <QObject>
#include <QtPlugin>

__attribute__((constructor)) static void markLoaded()
{
    leavePlantedMarker("platformtheme");
}

class PlantedTheme : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformThemeFactoryInterface.5.1" FILE
                          "planted_theme.json")
};

#include "planted_theme.moc"
