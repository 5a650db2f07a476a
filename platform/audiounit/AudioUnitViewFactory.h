// SPDX-License-Identifier: GPL-3.0-or-later
// How a host obtains an editor: it asks the plug-in's view factory for a view bound to a
// running instance and embeds the view in its window.
#pragma once

#include "platform/audiounit/AudioUnit.h"
#include "platform/toolkit/Geometry.h"

#include <memory>
#include <string>

namespace tk {
class View;
}

class AudioUnitViewFactory {
  public:
    virtual ~AudioUnitViewFactory() = default;

    virtual unsigned interfaceVersion() const = 0;
    virtual std::string description() const = 0;
    // A new view bound to `unit`, or null. The caller holds the view it embeds; the factory
    // keeps no reference. `preferredSize` may be ignored.
    virtual std::shared_ptr<tk::View> uiViewForAudioUnit(AudioUnit unit,
                                                         tk::Size preferredSize) = 0;
};
