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
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

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

// Openers started by DoAppleScript, reaped when they have finished so they do not linger
// as zombies in the host. Waiting for them would block the caller (the interface thread)
// for as long as the opened application runs when xdg-open has no desktop to hand to.
std::mutex gChildrenMutex;
std::vector<pid_t> gChildren;

void reapFinishedChildren() {
    std::lock_guard lock(gChildrenMutex);
    std::erase_if(gChildren, [](pid_t pid) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD); // finished, or reaped by the host
    });
}

ScriptLaunch startOpener(const std::string& url) {
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
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, "xdg-open", &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        fnd::log(fnd::LogLevel::Error,
                 std::string("cannot start xdg-open: ") + std::strerror(error));
        return {kScriptOpenFailed, -1};
    }
    return {0, pid};
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

ScriptLaunch runScript(char* text) {
    if (!text) return {kScriptSyntaxError, -1};
    std::size_t length = 0;
    for (; text[length] != '\0'; ++length)
        if (text[length] == '\n') text[length] = '\r';
    auto url = parseOpenLocationScript(std::string_view(text, length));
    if (!url) return {kScriptSyntaxError, -1};
    return startOpener(*url);
}

} // namespace zembra

int16_t DoAppleScript(char* text) {
    zembra::reapFinishedChildren();
    const zembra::ScriptLaunch launch = zembra::runScript(text);
    if (launch.pid > 0) {
        std::lock_guard lock(zembra::gChildrenMutex);
        zembra::gChildren.push_back(launch.pid);
    }
    return launch.status;
}
