// DA1011 beside the book: starts the program, which lives in the private lib/ folder.
//
// Qt takes the folder of the running executable for its own: it reads a qt.conf there (which
// may move Qt's plugins and the web engine's helper program anywhere), searches it for the
// display, theme, input method and style plugins while the application object starts, before
// the program has any say, and the web engine falls back to it for its helper program, its
// content decryption module and its dictionaries. The folder that holds this file is the
// book's, which whoever handed it over may have filled with anything, so the program runs
// from lib/, which holds only the program's own files. The program is started in this
// process (exec), with the same arguments and environment: it ends with the program's own
// exit code, and the desktop sees only the program.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <unistd.h>

int main(int /*argc*/, char* argv[])
{
    std::error_code error;
    // The real file, also when started through a link such as /usr/bin/da1011.
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        std::cerr << "DA1011: cannot find its own folder: " << error.message() << '\n';
        return 127;
    }
    const std::filesystem::path program = self.parent_path() / "lib" / "DA1011";
    execv(program.c_str(), argv);
    std::cerr << "DA1011: cannot start " << program.string() << ": " << std::strerror(errno)
              << '\n';
    return 127;
}
