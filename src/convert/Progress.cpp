#include "Progress.h"

#include <algorithm>

#include <unistd.h>

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(bool wanted, std::FILE* stream)
    : stream_(stream), enabled_(wanted && ::isatty(::fileno(stream)) == 1)
{
}

void ProgressBar::start(const std::string& label)
{
    done();
    label_ = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
    percent_ = -1;
    update(0.0f);
}

void ProgressBar::update(float fraction)
{
    if (!enabled_)
        return;
    int percent = std::clamp(int(fraction * 100.0f), 0, 100);
    if (percent == percent_)
        return;
    percent_ = percent;
    int filled = percent * kBarWidth / 100;
    std::fprintf(stream_, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), percent);
    std::fflush(stream_);
    shown_ = true;
}

void ProgressBar::done()
{
    if (!shown_)
        return;
    std::fprintf(stream_, "\r\033[K");
    std::fflush(stream_);
    shown_ = false;
}
