// The child the crash test kills: saves one kind of file through the
// program's own writer over and over, content n, n+1, ..., and tells the
// test on stdout where it is ("begin n" before a save, "done n" once the
// writer returned), so the test knows which contents may be in the file.
//
//   save_until_killed KIND FOLDER FIRST_N
#include "FileKinds.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

// Unbuffered, so a line is out before the next save starts.
void Say(const std::string &line)
{
    const std::string text = line + "\n";
    const char *data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written <= 0)
            std::_Exit(3); // the test is gone
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

} // namespace

int main(int argc, char **argv)
{
    using namespace lumex::crashtest;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s KIND FOLDER FIRST_N\n", argv[0]);
        return 2;
    }
    const auto kind = FileKindNamed(argv[1]);
    if (!kind) {
        std::fprintf(stderr, "unknown kind %s\n", argv[1]);
        return 2;
    }
    std::string folder = argv[2];
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    unsigned n = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    try {
        PrepareSaves(*kind);
        for (;; ++n) {
            Say("begin " + std::to_string(n));
            SaveThroughProgram(*kind, folder, n);
            Say("done " + std::to_string(n));
        }
    } catch (const std::exception &e) {
        Say(std::string("error ") + e.what());
        return 1;
    }
}
