#include "shell.h"

#include "native_path.h"

#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

OpenHandler &handler()
{
    static OpenHandler h;
    return h;
}

// Double fork, so the viewer neither waits for the opener nor leaves a zombie;
// the path goes to exec as its own bytes.
void spawnDetached(const std::string &program, const std::string &argument)
{
    std::string prog = program;
    std::string arg = argument;
    char *argv[] = {prog.data(), arg.data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0)
        return;
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::execvp(argv[0], argv);
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

void openInDefaultApp(const QString &path)
{
    if (handler()) {
        handler()(path);
        return;
    }
    spawnDetached("xdg-open", nativeFromPath(path));
}

OpenHandler setOpenHandler(OpenHandler h) { return std::exchange(handler(), std::move(h)); }

} // namespace platform
