// SPDX-License-Identifier: GPL-3.0-or-later
// The view factory hosts call to obtain the editor: it loads the interface description
// "zembra_CocoaView" and binds the editor view in it to the plug-in instance.
#pragma once

#include "editor/zembra_CocoaView.h"
#include "platform/audiounit/AudioUnitViewFactory.h"
#include "platform/toolkit/Connectable.h"

#include <memory>
#include <string>

class zembra_CocoaViewFactory : public AudioUnitViewFactory, public tk::Connectable {
  public:
    unsigned interfaceVersion() const override { return 0; }
    std::string description() const override { return "zembra Cocoa View"; }
    // Call on the main run loop's thread. The view's size is the description's:
    // `preferredSize` is ignored. Null (with "Unable to load nib for view." logged) when
    // the description cannot be loaded.
    std::shared_ptr<tk::View> uiViewForAudioUnit(AudioUnit unit, tk::Size preferredSize) override;

    bool setOutlet(std::string_view name, const std::shared_ptr<tk::View>& object) override;

  private:
    // Set by the description while loading, cleared before uiViewForAudioUnit returns.
    std::shared_ptr<zembra_CocoaView> uiFreshlyLoadedView;
};

// Makes the editor's classes and the controls' known to interface descriptions. Idempotent.
void registerEditorClasses();
