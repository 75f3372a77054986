#pragma once

namespace platform {

// Makes the program readable by screen readers: windows are announced as windows with their
// titles and picture boxes as pictures, and the web engine, once started, shows its pages'
// content to assistive technology whenever some is listening. Call once, before the first
// window and the first web view exist.
void installAccessibility();

}  // namespace platform
