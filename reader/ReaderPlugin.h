#pragma once

#include "reader/ReaderWindowFactory.h"

#include <QObject>

// The reader window as a plugin of the program.
class ReaderPlugin : public QObject, public ReaderWindowFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ReaderWindowFactory_iid FILE "ReaderPlugin.json")
    Q_INTERFACES(ReaderWindowFactory)
public:
    void showReaderWindow() override;
};
