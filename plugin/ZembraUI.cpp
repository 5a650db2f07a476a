// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's UI on DPF's cairo UI: it asks the editor's view factory for the editor of
// its instance and shows it in a toolkit window drawn through DPF, at the size of the
// interface description times the host's scale factor. Everything else it forwards: host
// values, idle time and the connection to the host go to the bridge, input to the window.
#include "DistrhoPluginUtils.hpp"
#include "DistrhoUI.hpp"

#include "DpfWindow.h"
#include "HostParameterOrder.h"
#include "HostParameters.h"
#include "PointerButtons.h"
#include "UiBridge.h"
#include "editor/GraphicsThread.h"
#include "editor/zembra_CocoaViewFactory.h"

#include <cmath>
#include <memory>

START_NAMESPACE_DISTRHO

namespace {

using zembra::plugin::DpfWindow;

// The window takes DPF's codes as plain numbers; they must be DGL's.
static_assert(DpfWindow::kDpfShift == DGL_NAMESPACE::kModifierShift &&
              DpfWindow::kDpfControl == DGL_NAMESPACE::kModifierControl &&
              DpfWindow::kDpfAlt == DGL_NAMESPACE::kModifierAlt &&
              DpfWindow::kDpfSuper == DGL_NAMESPACE::kModifierSuper);
static_assert(DpfWindow::kDpfBackspace == DGL_NAMESPACE::kKeyBackspace &&
              DpfWindow::kDpfEscape == DGL_NAMESPACE::kKeyEscape &&
              DpfWindow::kDpfDelete == DGL_NAMESPACE::kKeyDelete &&
              DpfWindow::kDpfLeft == DGL_NAMESPACE::kKeyLeft &&
              DpfWindow::kDpfUp == DGL_NAMESPACE::kKeyUp &&
              DpfWindow::kDpfRight == DGL_NAMESPACE::kKeyRight &&
              DpfWindow::kDpfDown == DGL_NAMESPACE::kKeyDown &&
              DpfWindow::kDpfHome == DGL_NAMESPACE::kKeyHome &&
              DpfWindow::kDpfEnd == DGL_NAMESPACE::kKeyEnd);
static_assert(DpfWindow::kLeftButton == DGL_NAMESPACE::kMouseButtonLeft);

class ZembraUI : public UI {
  public:
    ZembraUI()
        : UI(DISTRHO_UI_DEFAULT_WIDTH, DISTRHO_UI_DEFAULT_HEIGHT),
          mHost(*this), mSize{DISTRHO_UI_DEFAULT_WIDTH, DISTRHO_UI_DEFAULT_HEIGHT} {
        // The audio side registered the instance; a UI that cannot reach it (no direct
        // access) registers one of its own, fed by the host's values alone.
        auto parameters = zembra::plugin::findRegisteredInstance(getPluginInstancePointer());
        if (!parameters) {
            mOwnInstance = std::make_unique<zembra::plugin::RegisteredInstance>(nullptr);
            parameters = mOwnInstance->sharedParameters();
        }
        mBridge = std::make_unique<zembra::plugin::UiBridge>(parameters, mHost, [this] {
            return mWindow && tk::Window::keyWindow() == mWindow.get();
        });

        zembra_CocoaViewFactory factory;
        mView = factory.uiViewForAudioUnit(parameters->unit(), mSize);
        // Without its description the editor is missing (the factory logged why): the
        // window stays empty at the size the build saw.
        if (mView) mSize = mView->frame().size;
        showAtScale(getScaleFactor());
    }

    ~ZembraUI() override {
        // Closing ends a press still held (so the editor ends its gesture) and detaches the
        // editor, whose teardown then stops its thread and leaves the services.
        if (mWindow) mWindow->close();
        mView.reset();
        mWindow.reset();
        mBridge.reset();
        mOwnInstance.reset();
        // The module may be unloaded after its last UI: no editor thread may outlive that.
        zembra::joinStoppedGraphicsThreads();
    }

  protected:
    void parameterChanged(uint32_t index, float value) override {
        mBridge->parameterChanged(mHost.order().toOurs(index), value);
    }
    void programLoaded(uint32_t) override { mBridge->programLoaded(); }
#if DISTRHO_PLUGIN_WANT_STATE
    // Only the CLAP module has state, and no keys of its own: nothing ever changes.
    void stateChanged(const char*, const char*) override {}
#endif
    void uiIdle() override {
        if (mWindow && mWindow->isButtonDown()) mWindow->leftButtonState(mButtons.leftHeld());
        mBridge->idle();
    }
    void uiScaleFactorChanged(double scaleFactor) override { showAtScale(scaleFactor); }

    void onCairoDisplay(const CairoGraphicsContext& context) override {
        mWindow->display(context.handle);
    }
    bool onMouse(const MouseEvent& ev) override {
        return mWindow->mouse(ev.button, ev.press, ev.pos.getX(), ev.pos.getY(), ev.mod, ev.time);
    }
    bool onMotion(const MotionEvent& ev) override {
        return mWindow->motion(ev.pos.getX(), ev.pos.getY(), ev.mod);
    }
    bool onKeyboard(const KeyboardEvent& ev) override {
        return mWindow->keyboard(ev.press, ev.key, ev.mod);
    }
    bool onCharacterInput(const CharacterInputEvent& ev) override {
        return mWindow->characterInput(ev.string, ev.mod);
    }

  private:
    // The instance side's way to the host: DPF's calls.
    class DpfHost final : public zembra::plugin::HostConnection {
      public:
        explicit DpfHost(UI& ui) : mUI(ui), mOrder(getPluginFormatName()) {}
        void setParameterValue(uint32_t index, float value) override {
            mUI.setParameterValue(mOrder.toHost(index), value);
        }
        void editParameter(uint32_t index, bool started) override {
            mUI.editParameter(mOrder.toHost(index), started);
        }
        const zembra::plugin::HostParameterOrder& order() const { return mOrder; }

      private:
        UI& mUI;
        const zembra::plugin::HostParameterOrder mOrder;
    };

    // The toolkit window's scale is fixed, so a new scale gets a new window around the same
    // editor.
    void showAtScale(double scale) {
        if (!(scale > 0.0)) scale = 1.0;
        if (mWindow) mWindow->setContentView(nullptr);
        mWindow = std::make_unique<DpfWindow>(mSize, scale, [this] { repaint(); });
        if (mView) mWindow->setContentView(mView);
        const auto width = static_cast<uint>(std::lround(mSize.width * scale));
        const auto height = static_cast<uint>(std::lround(mSize.height * scale));
        setGeometryConstraints(width, height, true);
        if (getWidth() != width || getHeight() != height) setSize(width, height);
        repaint();
    }

    DpfHost mHost;
    tk::Size mSize;
    std::unique_ptr<zembra::plugin::RegisteredInstance> mOwnInstance;
    std::unique_ptr<zembra::plugin::UiBridge> mBridge;
    std::shared_ptr<tk::View> mView;
    std::unique_ptr<DpfWindow> mWindow;
    zembra::plugin::PointerButtons mButtons;

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ZembraUI)
};

} // namespace

UI* createUI() {
    return new ZembraUI();
}

END_NAMESPACE_DISTRHO
