// SPDX-License-Identifier: GPL-3.0-or-later
// Interface descriptions from arbitrary bytes, with the toolkit's and the editor controls'
// classes registered, loaded for an owner that takes every outlet and action.
#include "controls/ZembraControls.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/Connectable.h"
#include "platform/toolkit/InterfaceLoader.h"
#include "platform/toolkit/View.h"
#include "support/BundleIdentity.h"

#include <cstdint>
#include <string_view>

namespace {

class AnyOwner final : public tk::Connectable {
  public:
    bool setOutlet(std::string_view, const std::shared_ptr<tk::View>&) override { return true; }
    bool respondsToAction(std::string_view) const override { return true; }
    void performAction(std::string_view, tk::Control&) override {}
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    registerZembraControls(zembra::kBundleIdentifier);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fnd::LogCapture quiet; // every refused description is logged; keep the run readable
    AnyOwner owner;
    std::string error;
    tk::InterfaceLoader::loadString({reinterpret_cast<const char*>(data), size}, "fuzz.json", owner,
                                    &error);
    return 0;
}
