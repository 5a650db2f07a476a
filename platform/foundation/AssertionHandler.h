// SPDX-License-Identifier: GPL-3.0-or-later
// Where failed platform calls are reported. The default handler logs the report and
// returns, so the operation that failed goes on; tests install a recorder instead.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fnd {

class AssertionHandler {
  public:
    virtual ~AssertionHandler() = default;

    // The handler in force; the default one when none is installed. Thread-safe.
    static AssertionHandler& current();

    // Makes `handler` current (nullptr: the default) and returns the one it replaces
    // (nullptr for the default). The handler must outlive its installation and every
    // report that may be in flight on other threads.
    static AssertionHandler* install(AssertionHandler* handler);

    // `method` names the failing method ("[zembra_CocoaView _addListeners]"), `object` the
    // instance it ran on, `file` and `line` the source, `description` what failed.
    virtual void report(std::string_view method, const void* object, std::string_view file,
                        int line, std::string_view description);
};

// Records every report and installs itself for its lifetime; for tests.
class AssertionRecorder : public AssertionHandler {
  public:
    struct Report {
        std::string method;
        const void* object;
        std::string file;
        int line;
        std::string description;
    };

    AssertionRecorder();
    ~AssertionRecorder() override;
    AssertionRecorder(const AssertionRecorder&) = delete;
    AssertionRecorder& operator=(const AssertionRecorder&) = delete;

    void report(std::string_view method, const void* object, std::string_view file, int line,
                std::string_view description) override;
    std::vector<Report> reports() const;

  private:
    mutable std::mutex mMutex;
    std::vector<Report> mReports;
    AssertionHandler* mPrevious;
};

} // namespace fnd
