#pragma once

#include <cstdio>
#include <string>

// A one-line progress bar on standard error, drawn only when that is a terminal and the
// user did not ask for quiet; redrawn only when its percentage changes.
class ProgressBar {
public:
    ProgressBar(bool wanted, std::FILE* stream = stderr);
    ~ProgressBar() { done(); }

    void start(const std::string& label);
    void update(float fraction);
    // Clears the bar so that messages after it begin on a clean line.
    void done();
    bool enabled() const { return enabled_; }

private:
    std::FILE* stream_;
    bool enabled_;
    bool shown_ = false;
    int percent_ = -1;
    std::string label_;
};
