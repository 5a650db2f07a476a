// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the editor from its interface description.
#include "editor/zembra_CocoaViewFactory.h"

#include "controls/ZembraControls.h"
#include "editor/ZembraPanelView.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/ClassRegistry.h"
#include "platform/toolkit/InterfaceLoader.h"
#include "support/BundleIdentity.h"

#include <mutex>

void registerEditorClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerZembraControls(zembra::kBundleIdentifier);
        auto& registry = tk::ClassRegistry::shared();
        registry.registerViewClass<zembra_CocoaView>("zembra_CocoaView");
        registry.registerViewClass<ZembraPanelView>("ZembraPanelView");
    });
}

bool zembra_CocoaViewFactory::setOutlet(std::string_view name,
                                        const std::shared_ptr<tk::View>& object) {
    if (name != "uiFreshlyLoadedView") return false;
    uiFreshlyLoadedView = std::dynamic_pointer_cast<zembra_CocoaView>(object);
    return uiFreshlyLoadedView != nullptr;
}

std::shared_ptr<tk::View> zembra_CocoaViewFactory::uiViewForAudioUnit(AudioUnit unit, tk::Size) {
    registerEditorClasses();
    std::shared_ptr<tk::View> root;
    if (const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(zembra::kBundleIdentifier))
        root = tk::InterfaceLoader::loadNamed("zembra_CocoaView", *bundle, *this);
    std::shared_ptr<zembra_CocoaView> view = std::move(uiFreshlyLoadedView);
    uiFreshlyLoadedView.reset();
    if (!root || !view) {
        fnd::log(fnd::LogLevel::Error, "Unable to load nib for view.");
        return nullptr;
    }
    // The host embeds the editor view itself, whatever the description puts around it.
    if (view != root) view->removeFromSuperview();
    view->setAU(unit);
    return view;
}
