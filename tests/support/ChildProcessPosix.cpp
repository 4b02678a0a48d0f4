#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct ChildProcess::Platform {
    pid_t pid = -1;
    int read[2] = {-1, -1};  // our ends of the pipes
};

ChildProcess::ChildProcess() : platform(new Platform) {}

ChildProcess::~ChildProcess()
{
    Finish();
    for (int fd : platform->read) {
        if (fd >= 0)
            close(fd);
    }
}

bool ChildProcess::Launch(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& directory)
{
    int pipes[2][2] = {{-1, -1}, {-1, -1}};
    // Close-on-exec: no other child started meanwhile keeps these open.
    if (pipe2(pipes[0], O_CLOEXEC) != 0)
        return false;
    if (pipe2(pipes[1], O_CLOEXEC) != 0) {
        close(pipes[0][0]);
        close(pipes[0][1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (int i = 0; i < 2; ++i)
        posix_spawn_file_actions_adddup2(&actions, pipes[i][1], i + 1);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    const bool spawned =
        posix_spawn(&platform->pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 2; ++i) {
        close(pipes[i][1]);
        platform->read[i] = pipes[i][0];
    }
    if (!spawned)
        return false;
    for (int i = 0; i < 2; ++i)
        readers[i] = std::thread(&ChildProcess::ReadAll, this, i);
    waiter = std::thread([this] {
        // Seen ended but not yet reaped, so that a Kill under the lock can
        // never reach another process that inherits the id.
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(platform->pid), &info, WEXITED | WNOWAIT) != 0 &&
               errno == EINTR) {
        }
        std::lock_guard<std::mutex> hold(mutex);
        int status = 0;
        while (waitpid(platform->pid, &status, 0) < 0 && errno == EINTR) {
        }
        exited = true;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        changed.notify_all();
    });
    return true;
}

long ChildProcess::ReadSome(int stream, char* buffer, unsigned long size)
{
    for (;;) {
        const ssize_t count = read(platform->read[stream], buffer, size);
        if (count >= 0 || errno != EINTR)
            return count < 0 ? 0 : static_cast<long>(count);
    }
}

bool ChildProcess::Interrupt()
{
    return kill(platform->pid, SIGTERM) == 0;
}

void ChildProcess::Terminate()
{
    kill(platform->pid, SIGKILL);
}

unsigned long ChildProcess::Id() const
{
    return platform->pid > 0 ? static_cast<unsigned long>(platform->pid) : 0;
}
