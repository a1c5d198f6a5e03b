#pragma once

#include "MotionController.h"
#include "MotionHost.h"
#include "MotionState.h"
#include "ObjectTransform.h"
#include "RandomSource.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The window as the motion rules see it, recording what they did to it. Every
// drawScene keeps a copy of the transform, so a test can look at what each frame showed.
class FakeMotionHost : public MotionHost {
public:
    explicit FakeMotionHost(const ObjectTransform& shown) : shown_(shown) {}

    struct ScalingButton {
        std::string caption;
        bool bold = true;
    };

    int speed() const override { return speedPosition; }
    void setSpeed(int position) override
    {
        // Like the track bar: its change handler runs only when the position moves.
        if (position == speedPosition)
            return;
        speedPosition = position;
        if (onSpeedChange)
            onSpeedChange(position);
    }
    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setAutoCaption(const std::string& caption) override { autoCaption = caption; }
    void setAutoHint(const std::string& hint) override { autoHint = hint; }
    void setAutomodeButton(const std::string& caption, const std::string& hint) override
    {
        automodeCaption = caption;
        automodeHint = hint;
    }
    void setScalingButton(int axis, const std::string& caption, bool bold) override
    {
        scaling.at(static_cast<std::size_t>(axis)) = {caption, bold};
    }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    bool precise() const override { return preciseOn; }
    void switchPreciseOff() override { preciseOn = false; }
    int polygonCount() const override { return polygons; }
    void showExclamation(const std::string& caption, const std::string& text) override
    {
        exclamations.push_back(caption + ": " + text);
    }
    void drawScene() override { frames.push_back(shown_); }

    std::string status() const { return statusTexts.empty() ? "" : statusTexts.back(); }

    int speedPosition = 3;
    bool preciseOn = false;
    int polygons = 1;
    bool timerEnabled = false;
    std::string autoCaption = "Auto";
    std::string autoHint = "Autorotate object";
    std::string automodeCaption = "1";
    std::string automodeHint = "Control disabled";
    std::array<ScalingButton, 3> scaling{{{"X", true}, {"Y", true}, {"Z", true}}};
    std::vector<std::string> statusTexts;
    std::vector<std::string> exclamations;
    std::vector<ObjectTransform> frames;
    std::function<void(int)> onSpeedChange;

private:
    const ObjectTransform& shown_;
};

// The window's motion fields with a host and a seeded generator, wired as the
// window wires them: the track bar's change handler is speedChanged.
struct MotionRig {
    explicit MotionRig(uint32_t seed = 1) : random(seed)
    {
        host.onSpeedChange = [this](int position) { controller.speedChanged(position); };
    }

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            controller.tick();
    }

    ObjectTransform transform;
    MotionState state;
    FakeMotionHost host{transform};
    RandomSource random;
    MotionController controller{transform, state, host, random};
};
