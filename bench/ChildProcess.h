// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starts a bench tool as a child process, its standard output going to a
// file, and reads back its "key=value" lines. posix_spawn rather than
// QProcess: the tools that use it measure the event loop of the process
// that starts the child, and QProcess would add its own notifiers and a
// SIGCHLD handler to that loop. The program itself never starts processes.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace brellan::bench {

class ChildProcess {
public:
    // Runs `program` with `args`, its standard output going to `outputPath`.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, std::string outputPath)
        : m_outputPath(std::move(outputPath))
    {
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { wait(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }

    // True once the child has exited (never blocks).
    bool finished()
    {
        if (m_pid <= 0)
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_pid = -1;
        return m_pid <= 0;
    }
    void wait()
    {
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }

    // The child's "key=value" output lines.
    std::map<std::string, long long> keyValues() const
    {
        std::map<std::string, long long> values;
        std::ifstream output(m_outputPath);
        std::string line;
        while (std::getline(output, line)) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos && equals > 0)
                values[line.substr(0, equals)] = std::atoll(line.c_str() + equals + 1);
        }
        return values;
    }

private:
    std::string m_outputPath;
    pid_t m_pid = -1;
};

} // namespace brellan::bench
