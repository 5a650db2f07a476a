// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing the open-location command and starting xdg-open with posix_spawnp.
#include "support/ScriptRunner.h"

#include "platform/foundation/Log.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zembra {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : mText(text) {}

    void skipSpace() {
        while (mPos < mText.size() && isSpace(mText[mPos]))
            ++mPos;
    }
    // A keyword, case-insensitive, that must end at white space, a quote or the end.
    bool word(std::string_view keyword) {
        skipSpace();
        if (mText.size() - mPos < keyword.size()) return false;
        for (std::size_t i = 0; i < keyword.size(); ++i) {
            char c = mText[mPos + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != keyword[i]) return false;
        }
        const std::size_t end = mPos + keyword.size();
        if (end < mText.size() && !isSpace(mText[end]) && mText[end] != '"') return false;
        mPos = end;
        return true;
    }
    std::optional<std::string> quoted() {
        skipSpace();
        if (mPos >= mText.size() || mText[mPos] != '"') return std::nullopt;
        std::string value;
        for (++mPos; mPos < mText.size(); ++mPos) {
            char c = mText[mPos];
            if (c == '"') {
                ++mPos;
                return value;
            }
            if (c == '\\') {
                if (++mPos >= mText.size()) return std::nullopt;
                c = mText[mPos];
                if (c != '"' && c != '\\') return std::nullopt;
            }
            value.push_back(c);
        }
        return std::nullopt; // unterminated
    }
    bool atEnd() {
        skipSpace();
        return mPos == mText.size();
    }

  private:
    std::string_view mText;
    std::size_t mPos = 0;
};

bool acceptableUrl(std::string_view url) {
    const auto colon = url.find(':');
    if (colon == std::string_view::npos || colon + 1 == url.size()) return false;
    std::string scheme(url.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "file" && scheme != "http" && scheme != "https") return false;
    if (scheme == "file" && url[colon + 1] != '/') return false;
    return std::none_of(url.begin(), url.end(),
                        [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

// Starts xdg-open through a short-lived intermediate child that exits as soon as the opener
// is spawned: the opener then belongs to init (or the session's subreaper), which reaps it
// whenever it ends, and we wait only for the intermediate, a matter of microseconds. No
// SIGCHLD handler: that signal is the host's. Waiting for the opener itself would block the
// caller (the interface thread) for as long as the opened application runs when xdg-open
// has no desktop to hand to.
int16_t startOpener(const std::string& url) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // No stdin, and none of the host's other descriptors (audio devices, sockets).
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // Hosts block and ignore signals for their own reasons; the opener starts clean, in a
    // session of its own so that it outlives the host's terminal.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    // Everything the intermediate needs is prepared above: after fork() in a threaded host
    // it only spawns and exits, with posix_spawnp's error number as its status.
    const pid_t intermediate = ::fork();
    if (intermediate == 0) {
        pid_t opener = -1;
        ::_exit(::posix_spawnp(&opener, "xdg-open", &actions, &attributes, argv, environ));
    }
    int error = errno;
    if (intermediate > 0) {
        int status = 0;
        pid_t r = -1;
        while ((r = ::waitpid(intermediate, &status, 0)) < 0 && errno == EINTR) {
        }
        // ECHILD: a host that reaps every child got there first; the outcome is unknown.
        error = r == intermediate && WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        fnd::log(fnd::LogLevel::Error,
                 std::string("cannot start xdg-open: ") + std::strerror(error));
        return kScriptOpenFailed;
    }
    return 0;
}

} // namespace

std::optional<std::string> parseOpenLocationScript(std::string_view script) {
    Scanner scanner(script);
    if (!scanner.word("open") || !scanner.word("location")) return std::nullopt;
    auto url = scanner.quoted();
    if (!url) return std::nullopt;
    if (!scanner.atEnd() && !(scanner.word("with") && scanner.word("error") &&
                              scanner.word("reporting") && scanner.atEnd()))
        return std::nullopt;
    if (!acceptableUrl(*url)) return std::nullopt;
    return url;
}

} // namespace zembra

int16_t DoAppleScript(char* text) {
    if (!text) return zembra::kScriptSyntaxError;
    std::size_t length = 0;
    for (; text[length] != '\0'; ++length)
        if (text[length] == '\n') text[length] = '\r';
    auto url = zembra::parseOpenLocationScript(std::string_view(text, length));
    if (!url) return zembra::kScriptSyntaxError;
    return zembra::startOpener(*url);
}
