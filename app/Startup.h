#pragma once

// Sets up the application object (name, version, icon, fonts) before any window exists.
void prepareApplication();

// Loads the welcome window, shows it unless its load moved on to the book, and runs the
// event loop until no window is left. Returns the process exit code.
int runProgram();
