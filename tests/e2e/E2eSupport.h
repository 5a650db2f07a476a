// SPDX-License-Identifier: GPL-3.0-or-later
// What the end-to-end suites share: children with their output merged, bounded by timeouts;
// the environment of a client that loads the plug-in; a JACK server of the tests' own.
#pragma once

#include "RunProgram.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using testing_support::Child;
using testing_support::endInput;
using testing_support::finish;
using testing_support::readFile;
using testing_support::running;

// How a child of spawn ended.
struct Result {
    Result() = default;
    Result(const testing_support::RunResult& r)
        : finished(r.finished), status(r.exitCode), output(r.out) {}

    bool finished = false; // false: killed at the timeout
    int status = -1;       // exit status, or 128 + signal
    std::string output;    // stdout and stderr together
};

// Starts argv with extra environment entries (they win over ours), its stdin held open. A
// long-lived child that logs as it goes writes to `outputFile`, to be read while it runs.
Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            const std::string& outputFile = {});
Result run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
           std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Asks `done` again and again until it holds; false when `cap` passed first. The cap is a
// last resort for a machine under load, never the pace of a test.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds cap = std::chrono::seconds(60));

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
