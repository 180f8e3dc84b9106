#pragma once

// The standard output of an outside program, for the tests that read
// exported files with the tools a recipient would use.
//
// The program is started with posix_spawn, not QProcess: QProcess starts
// its child in this process's memory until the program runs (vfork), and
// the thread sanitizer then applies what it does for a child process to
// the starting thread itself, whose locks it no longer sees afterwards.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelvane::testing {

// What `program` (looked up in PATH) writes to its standard output when run
// with `arguments`; empty when it cannot be started or has not finished
// within `limitMs` (it is then killed). Its standard error is dropped.
inline QByteArray programOutput(const QString& program, const QStringList& arguments, int limitMs)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {};
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (started != 0) {
        close(pipeEnds[0]);
        return {};
    }

    QByteArray output;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd ready{pipeEnds[0], POLLIN, 0};
        const int polled = poll(&ready, 1, int(left));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char buffer[65536];
        const ssize_t read = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            ended = read == 0;
            break;
        }
        output.append(buffer, qsizetype(read));
    }
    close(pipeEnds[0]);
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ended ? output : QByteArray();
}

}  // namespace zelvane::testing
