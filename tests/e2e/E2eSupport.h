// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the end-to-end suites: children started with extra environment and bounded by
// timeouts, the environment of a client that loads the plug-in, and a JACK server of the
// tests' own.
#pragma once

#include "TestDirectory.h"

#include <chrono>
#include <filesystem>
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
// so clients that quit on end of input run until we close it. A long-lived child that writes
// as it goes writes to `outputFile` instead of a pipe, which would fill up while nobody reads
// it and stop the child in its next write (a JACK server logs every late cycle of a loaded
// machine); `out` then reads that file.
Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            const std::string& outputFile = {});
// Whether the child has not exited yet (it is not reaped: finish still gets its status).
bool running(const Child& child);
// Collects the child's output until it exits or `timeout` passes (then it is killed).
Result finish(Child& child, std::chrono::milliseconds timeout);
Result run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
           std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Reads the child's output until `done` holds for what was read, or `timeout` passes.
std::string readUntil(Child& child, const std::function<bool(const std::string&)>& done,
                      std::chrono::milliseconds timeout);
// Asks `done` again and again until it holds; false when `cap` passed first. The cap is a
// last resort for a machine under load, never the pace of a test.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds cap = std::chrono::seconds(60));

using testing_support::readFile;

// The environment of a client that loads the plug-in: our bundle, and in sanitizer builds
// the sanitizer runtime the module needs (the clients' own leaks are not ours to report, nor
// what the drawing libraries do inside themselves: tests/common/tsan-suppressions.txt).
std::vector<std::string> hostEnv(std::vector<std::string> env = {});

// A dummy-driver JACK server under a name of its own, so the tests meet no other server.
struct JackServer {
    bool start(const std::string& name);
    bool stop(); // false when it had to be killed
    // A JACK client command; a busy machine may refuse the first connections, so it is tried
    // again until it succeeds or a while has passed.
    Result query(const std::vector<std::string>& argv) const;

    Child jackd;
    std::vector<std::string> env; // what a client needs to reach this server
    std::string failure;          // why it did not start
};

} // namespace e2e
