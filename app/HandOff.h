#pragma once

// The way from the welcome window to the reader window. The reader window lives in its own
// module, so that the welcome window never loads the web engine: the module registers how
// to show the reader window when it is loaded, and the first hand-off loads it.
namespace handoff {

using ShowWindow = void (*)();

// Called by the reader window's own code when it is linked in or loaded.
void registerReaderWindow(ShowWindow show);

// Shows the reader window without modality, loading its module first if need be.
// Raises platform::PlatformError when the module cannot be loaded.
void showReaderWindow();

}  // namespace handoff
