#pragma once

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support
{
/** True if a JACK server of that name (empty: the default one) answers. */
inline bool jackServerAnswers (const std::string& name = {})
{
    // Never let the probe start a server of its own.
    setenv ("JACK_NO_START_SERVER", "1", 1);
    const std::string command = "jack_lsp" + (name.empty() ? std::string() : " -s " + name) + " >/dev/null 2>&1";
    return std::system (command.c_str()) == 0;
}

/** A named JACK server on the dummy driver, started for one test and stopped
    (by its own process id) when the object goes away. */
class JackServer
{
public:
    JackServer (std::string serverName, int sampleRate) : name (std::move (serverName))
    {
        setenv ("JACK_NO_AUDIO_RESERVATION", "1", 1);
        std::vector<std::string> args{"jackd", "-n", name, "--no-realtime", "-d", "dummy", "-r", std::to_string (sampleRate), "-p", "512"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back (a.data());
        argv.push_back (nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_addopen (&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen (&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp (&pid, "jackd", &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy (&actions);

        for (int attempt = 0; pid > 0 && attempt < 100 && !ready; ++attempt)
        {
            ready = jackServerAnswers (name);
            if (!ready)
                std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }
    }

    ~JackServer()
    {
        if (pid > 0)
        {
            kill (pid, SIGTERM);
            int status = 0;
            waitpid (pid, &status, 0);
        }
    }

    JackServer (const JackServer&) = delete;
    JackServer& operator= (const JackServer&) = delete;

    bool isReady() const { return ready; }
    const std::string& getName() const { return name; }

private:
    std::string name;
    pid_t pid = -1;
    bool ready = false;
};
} // namespace testing_support
