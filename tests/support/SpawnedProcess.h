#pragma once

// A second process for a test, started with posix_spawn instead of
// QProcess. Qt starts its children with clone(CLONE_VM | CLONE_VFORK); the
// thread sanitizer's clone hook then runs its after-fork code in the child,
// which still shares the parent's memory, and leaves the parent's own
// bookkeeping as a forked child's: from then on it no longer sees that
// thread's locks, and reports every hand-over made through them.
// posix_spawn starts the child inside the C library, out of its sight.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zelvane::testing {

class SpawnedProcess {
public:
    // Starts `program` with `arguments` and `environment`; its standard
    // output comes to this object, its standard input stays open until the
    // object goes (a child reading it to the end waits for its parent).
    SpawnedProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return;
        if (::pipe2(output, O_CLOEXEC) != 0) {
            ::close(input[0]);
            ::close(input[1]);
            return;
        }
        std::vector<QByteArray> argumentBytes{program.toLocal8Bit()};
        for (const QString& argument : arguments)
            argumentBytes.push_back(argument.toLocal8Bit());
        std::vector<QByteArray> environmentBytes;
        for (const QString& entry : environment.toStringList())
            environmentBytes.push_back(entry.toLocal8Bit());
        std::vector<char*> argv = pointers(argumentBytes);
        std::vector<char*> envp = pointers(environmentBytes);

        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        pid_t pid = -1;
        const int error = ::posix_spawn(&pid, argumentBytes.front().constData(), &actions, nullptr, argv.data(), envp.data());
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        if (error != 0) {
            ::close(input[1]);
            ::close(output[0]);
            return;
        }
        m_pid = pid;
        m_input = input[1];
        m_output = output[0];
    }

    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;

    ~SpawnedProcess()
    {
        kill();
        if (m_input >= 0)
            ::close(m_input);
        if (m_output >= 0)
            ::close(m_output);
    }

    bool started() const { return m_pid > 0; }
    const QByteArray& output() const { return m_read; }

    // Reads the standard output until it holds `text`, the child closes it,
    // or `limit` passes; true once it holds `text`.
    bool readUntil(const QByteArray& text, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_output >= 0 && !m_read.contains(text)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd ready{m_output, POLLIN, 0};
            const int polled = ::poll(&ready, 1, int(left.count()));
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                break;
            char chunk[4096];
            const ssize_t count = ::read(m_output, chunk, sizeof chunk);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            m_read.append(chunk, count);
        }
        return m_read.contains(text);
    }

    // Ends the child with SIGKILL and waits until it is gone; true when it
    // was running.
    bool kill()
    {
        if (m_pid <= 0)
            return false;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return true;
    }

private:
    static std::vector<char*> pointers(std::vector<QByteArray>& texts)
    {
        std::vector<char*> list;
        for (QByteArray& text : texts)
            list.push_back(text.data());
        list.push_back(nullptr);
        return list;
    }

    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    QByteArray m_read;
};

}  // namespace zelvane::testing
