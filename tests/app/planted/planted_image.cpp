// An image format plugin for the program's own picture formats; it only marks that it was
// loaded.
#include "app/planted/PlantedMarker.h"

#include <QObject>
#include <QtPlugin>

__attribute__((constructor)) static void markLoaded()
{
    leavePlantedMarker("imageformat");
}

class PlantedImage : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QImageIOHandlerFactoryInterface" FILE
                          "planted_image.json")
};

#include "planted_image.moc"
