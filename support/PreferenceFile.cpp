// SPDX-License-Identifier: GPL-3.0-or-later
// Locked read-modify-write with an atomic replace; damaged files are kept aside.
#include "support/PreferenceFile.h"

#include "platform/foundation/Log.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace zembra {
namespace {

namespace fs = std::filesystem;

// Identifies one damaged file on disk, so it is reported once however often it is read.
using FileSignature = std::tuple<std::string, dev_t, ino_t, time_t, long, off_t>;

void reportDamageOnce(const fs::path& path, const std::string& problem) {
    static std::mutex mutex;
    static std::set<FileSignature> reported;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) info = {};
    FileSignature signature{path.string(),       info.st_dev,          info.st_ino,
                            info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_size};
    {
        std::lock_guard lock(mutex);
        if (!reported.insert(signature).second) return;
    }
    fnd::log(fnd::LogLevel::Warning,
             "preferences " + path.string() + " cannot be read (" + problem + "); using defaults");
}

// What a save does with what it found: replace it, move it aside first (damaged, but a
// file we may rename), or leave it alone and fail (not a regular file, or too large to be
// a preference file: something put there that is not ours to move).
enum class Found { Usable, Damaged, Foreign };

struct ReadOutcome {
    fnd::PlistDict dict;
    Found found = Found::Usable;
};

ReadOutcome readDict(const fs::path& path) {
    auto result = fnd::readPropertyListFile(path);
    Found found = Found::Damaged;
    switch (result.status) {
    case fnd::ReadStatus::Missing:
        return {};
    case fnd::ReadStatus::Ok:
        if (auto* dict = result.value->get<fnd::PlistDict>()) return {std::move(*dict)};
        result.problem = "not a dictionary";
        break;
    case fnd::ReadStatus::Refused:
        found = Found::Foreign;
        break;
    case fnd::ReadStatus::Unreadable:
    case fnd::ReadStatus::Corrupt:
        break;
    }
    reportDamageOnce(path, result.problem);
    return {{}, found};
}

// A preferences file kept elsewhere through a symbolic link (dotfile managers do this) is
// written where the link points, so the link survives the replace.
fs::path writeTarget(fs::path path) {
    for (int hops = 0; hops < 16; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) break;
        fs::path next = fs::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

bool makeDirectories(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || fs::is_directory(dir, ec)) return true;
    if (!makeDirectories(dir.parent_path())) return false;
    // Per the XDG base-directory rules, directories we create are private to the user.
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void syncDirectory(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A save writes "<file>.tmp.<pid>.<n>" and renames it over the file; a writer that died in
// between leaves it behind.
constexpr std::string_view kTempInfix = ".tmp.";

// Removes what crashed saves left beside `target`. Called with the lock held: every live
// saver holds it while its temporary file exists, so any left now is an orphan. Only names
// of our exact form, regular files of this user, are touched.
void removeOrphanedTemporaries(const fs::path& target) {
    const std::string prefix = target.filename().string() + std::string(kTempInfix);
    const auto ours = [&](const std::string& name) {
        if (!name.starts_with(prefix)) return false;
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        const auto dot = rest.find('.');
        const auto digits = [](std::string_view t) {
            return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
        };
        return dot != std::string_view::npos && digits(rest.substr(0, dot)) &&
               digits(rest.substr(dot + 1));
    };
    std::error_code ec;
    const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        struct stat info {};
        if (!ours(name) || ::lstat(it->path().c_str(), &info) != 0) continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        if (::unlink(it->path().c_str()) == 0)
            fnd::log(fnd::LogLevel::Info, "removed " + it->path().string() + ", left by a crash");
    }
}

bool replaceFile(const fs::path& target, const std::string& bytes) {
    mode_t mode = 0600;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = info.st_mode & 0777;

    static std::atomic<unsigned> counter{0};
    const fs::path temp = target.string() + std::string(kTempInfix) + std::to_string(::getpid()) +
                          "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        fnd::log(fnd::LogLevel::Error,
                 "cannot create " + temp.string() + ": " + std::strerror(errno));
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) {
        syncDirectory(target.parent_path());
        return true;
    }
    fnd::log(fnd::LogLevel::Error, "cannot write " + target.string() + ": " + std::strerror(errno));
    ::unlink(temp.c_str());
    return false;
}

// Moves a damaged file out of the way under a name nothing else uses. Called with the
// lock held, so no other saver races us for the name.
bool moveAside(const fs::path& target) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &local);
    for (int n = 0; n < 1000; ++n) {
        fs::path aside = target.string() + ".corrupt-" + stamp;
        if (n > 0) aside += "-" + std::to_string(n);
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0) continue;
        if (::rename(target.c_str(), aside.c_str()) == 0) {
            fnd::log(fnd::LogLevel::Warning,
                     "damaged preferences moved aside to " + aside.string());
            return true;
        }
        break;
    }
    fnd::log(fnd::LogLevel::Error, "cannot move damaged preferences " + target.string() +
                                       " aside: " + std::strerror(errno));
    return false;
}

void reportForeign(const fs::path& target) {
    fnd::log(fnd::LogLevel::Error,
             "preferences not saved: " + target.string() + " is not a file Zembra may replace");
}

bool holdsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

bool storable(const fnd::PlistValue& value) {
    if (auto* s = value.get<std::string>()) return !holdsNul(*s);
    if (auto* array = value.get<fnd::PlistArray>()) {
        for (const auto& item : *array)
            if (!storable(item)) return false;
    }
    if (auto* dict = value.get<fnd::PlistDict>()) {
        for (const auto& [key, item] : *dict)
            if (holdsNul(key) || !storable(item)) return false;
    }
    return true;
}

// flock on a file of its own: the data file is replaced on every save, so a lock on it
// would be on an inode that the next reader no longer opens.
class FileLock {
  public:
    explicit FileLock(const fs::path& path)
        : mFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (mFd < 0) return;
        while (::flock(mFd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(mFd);
                mFd = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (mFd >= 0) ::close(mFd); // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return mFd >= 0; }

  private:
    int mFd;
};

} // namespace

fnd::PlistDict PreferenceFile::read() const {
    return readDict(mPath).dict;
}

std::optional<fnd::PlistValue> PreferenceFile::value(std::string_view key) const {
    auto dict = read();
    auto it = dict.find(key);
    if (it == dict.end()) return std::nullopt;
    return std::move(it->second);
}

bool PreferenceFile::update(std::string_view key, std::optional<fnd::PlistValue> value) const {
    if (holdsNul(key) || (value && !storable(*value))) return false;
    if (!makeDirectories(mPath.parent_path())) {
        fnd::log(fnd::LogLevel::Error,
                 "cannot create " + mPath.parent_path().string() + ": " + std::strerror(errno));
        return false;
    }
    // The lock belongs to the file that is written: a process that names it through a
    // link and one that names it directly must exclude each other. Should the link move
    // while we wait, the lock is taken again on the new target.
    fs::path target = writeTarget(mPath);
    // Not even a lock file beside something that is not ours: a link to /dev/null, say.
    if (struct stat info{}; ::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        reportForeign(target);
        return false;
    }
    std::unique_ptr<FileLock> lock;
    for (;;) {
        lock.reset(); // one lock at a time: never wait for one while holding another
        lock = std::make_unique<FileLock>(target.string() + ".lock");
        if (!lock->held()) {
            fnd::log(fnd::LogLevel::Error,
                     "cannot lock " + target.string() + ".lock: " + std::strerror(errno));
            return false;
        }
        fs::path now = writeTarget(mPath);
        if (now == target) break;
        target = std::move(now);
    }
    removeOrphanedTemporaries(target);
    auto current = readDict(target);
    if (current.found == Found::Foreign) {
        reportForeign(target);
        return false;
    }
    const bool damaged = current.found == Found::Damaged;
    if (damaged && !moveAside(target)) return false;
    if (value) {
        current.dict.insert_or_assign(std::string(key), std::move(*value));
    } else if (auto it = current.dict.find(key); it != current.dict.end()) {
        current.dict.erase(it);
    } else if (!damaged) {
        return true; // nothing to remove, nothing to write
    }
    return replaceFile(target, fnd::toXmlPropertyList(fnd::PlistValue(std::move(current.dict))));
}

} // namespace zembra
