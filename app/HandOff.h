#pragma once

// The way from the welcome window to the reader window.
namespace handoff {

// Shows the reader window without modality. The first call finds the reader plugin: linked
// into the program (as in the tests), or else loaded from the application folder.
// Raises platform::PlatformError when the plugin cannot be loaded.
void showReaderWindow();

}  // namespace handoff
