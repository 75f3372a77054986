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
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <unistd.h>

// Kept to the C library alone: it runs before every start of the program.
int main(int /*argc*/, char* argv[])
{
    static constexpr char kProgram[] = "lib/DA1011";
    std::array<char, PATH_MAX + sizeof kProgram> path{};
    // The real file, also when started through a link such as /usr/bin/da1011.
    const ssize_t length = readlink("/proc/self/exe", path.data(), PATH_MAX);
    if (length <= 0 || length >= PATH_MAX) {
        std::fprintf(stderr, "DA1011: cannot find its own folder: %s\n", std::strerror(errno));
        return 127;
    }
    char* const folderEnd = std::strrchr(path.data(), '/') + 1;
    std::memcpy(folderEnd, kProgram, sizeof kProgram);
    execv(path.data(), argv);
    std::fprintf(stderr, "DA1011: cannot start %s: %s\n", path.data(), std::strerror(errno));
    return 127;
}
