// SPDX-License-Identifier: GPL-3.0-or-later
// Children of the end-to-end suites, bounded by timeouts; the environment of a client that
// loads the plug-in; a JACK server of the tests' own.
#pragma once

#include "TestDirectory.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

struct Child {
    pid_t pid = -1;
    int out = -1; // stdout and stderr together
    int in = -1;  // the child's stdin, while we hold it open
};

struct Result {
    bool finished = false; // false: killed at the timeout
    int status = -1;       // exit status, or 128 + signal
    std::string output;
};

// Starts argv with extra environment entries (they win over ours); stdin is a pipe we keep,
// so clients that quit on end of input run until we close it. A long-lived child that logs as
// it goes writes to `outputFile`, read by `out`: a pipe nobody reads would fill up and stop it.
Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            const std::string& outputFile = {});
// Closes the child's stdin: clients that read it see its end.
void endInput(Child& child);
// Whether the child has not exited yet (it is not reaped: finish still gets its status).
bool running(const Child& child);
// Collects the child's output until it exits or `timeout` passes (then it is killed).
Result finish(Child& child, std::chrono::milliseconds timeout);
Result run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
           std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Asks `done` again and again until it holds; false when `cap` passed first. The cap is a
// last resort for a machine under load, never the pace of a test.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds cap = std::chrono::seconds(60));

using testing_support::readFile;

// The environment of a client that loads the plug-in: our bundle, and in sanitizer builds the
// runtime the module needs (the clients' own leaks are not ours to report).
std::vector<std::string> hostEnv(std::vector<std::string> env = {});

// A dummy-driver JACK server under a name of its own, so the tests meet no other server.
struct JackServer {
    bool start(const std::string& name);
    bool stop(); // false when it had to be killed
    // A JACK client command, tried again while a busy server refuses it.
    Result query(const std::vector<std::string>& argv) const;

    Child jackd;
    std::vector<std::string> env; // what a client needs to reach this server
    std::string failure;          // why it did not start
};

} // namespace e2e
