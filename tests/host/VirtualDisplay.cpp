#include "VirtualDisplay.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 5000;

bool waitForExit (pid_t pid, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10)
    {
        if (waitpid (pid, nullptr, WNOHANG) == pid)
            return true;

        usleep (10 * 1000);
    }

    return false;
}

// Ends the server when the process leaves through exit() without unwinding.
pid_t serverToEndAtExit = -1;

void endServerAtExit()
{
    if (serverToEndAtExit > 0)
        kill (serverToEndAtExit, SIGKILL);
}
} // namespace

VirtualDisplay::VirtualDisplay()
{
    if (const char* display = std::getenv ("DISPLAY"); display != nullptr && *display != 0)
        return;

    int fds[2];

    if (pipe (fds) != 0)
        return;

    // The server writes its display number into the pipe once it accepts clients.
    // Without -noreset it resets whenever its last client leaves, dropping
    // any client that is connecting at that moment.
    fcntl (fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fdText = std::to_string (fds[1]);
    const char* args[] = { "Xvfb", "-displayfd",   fdText.c_str(), "-noreset", "-screen",
                           "0",    "1280x1024x24", "-nolisten",    "tcp",      nullptr };

    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp (&pid, "Xvfb", &actions, nullptr, const_cast<char**> (args), environ);
    posix_spawn_file_actions_destroy (&actions);
    close (fds[1]);

    if (spawned != 0)
    {
        close (fds[0]);
        return;
    }

    serverPid = pid;
    serverToEndAtExit = pid;
    std::atexit (endServerAtExit);
    std::string number;
    pollfd pfd { fds[0], POLLIN, 0 };

    while (poll (&pfd, 1, startTimeoutMs) > 0)
    {
        char c = 0;

        if (read (fds[0], &c, 1) != 1 || c == '\n')
            break;

        number += c;
    }

    close (fds[0]);

    if (number.empty())
    {
        kill (serverPid, SIGKILL);
        waitForExit (serverPid, stopTimeoutMs);
        serverPid = serverToEndAtExit = -1;
        return;
    }

    setenv ("DISPLAY", (":" + number).c_str(), 1);
}

VirtualDisplay::~VirtualDisplay()
{
    if (serverPid <= 0)
        return;

    serverToEndAtExit = -1;
    kill (serverPid, SIGTERM);

    if (! waitForExit (serverPid, stopTimeoutMs))
    {
        kill (serverPid, SIGKILL);
        waitForExit (serverPid, stopTimeoutMs);
    }

    unsetenv ("DISPLAY");
}
