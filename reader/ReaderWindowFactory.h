#pragma once

#include <QtPlugin>

// What the reader plugin offers the welcome window's hand-off: the reader window lives in its
// own plugin, so that a start that only shows the welcome window never loads the web engine.
class ReaderWindowFactory {
public:
    virtual ~ReaderWindowFactory() = default;

    // Shows the reader window without modality (creating and loading it first if need be).
    virtual void showReaderWindow() = 0;
};

// The version follows the program's: a plugin of another release is not this interface.
#define ReaderWindowFactory_iid "example.quorvel.da1011.ReaderWindowFactory/1.0"
Q_DECLARE_INTERFACE(ReaderWindowFactory, ReaderWindowFactory_iid)
