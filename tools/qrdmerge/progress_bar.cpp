#include "progress_bar.h"

#include <algorithm>

namespace qrdmerge {

namespace {
constexpr size_t kBarCells = 20;
}  // namespace

std::string ProgressLine(const std::string& text, uint32_t percent, size_t width) {
    const uint32_t p = std::min<uint32_t>(percent, 100);
    const size_t filled = kBarCells * p / 100;
    std::string bar = " [" + std::string(filled, '=') + std::string(kBarCells - filled, ' ') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3u%%", static_cast<unsigned>(p));
    bar += number;
    std::string shown = text;
    const size_t room = width > bar.size() ? width - bar.size() : 0;
    if (shown.size() > room) shown = room > 3 ? "..." + shown.substr(shown.size() - (room - 3)) : std::string();
    return shown + bar;
}

void ProgressBar::Update(const char* text, uint32_t percent) {
    const std::string current = text ? text : "";
    if (drawn_ && current == text_ && percent == percent_) return;
    if (drawn_ && current != text_) std::fputc('\n', out_);
    const std::string line = ProgressLine(current, percent, width_);
    // Erasing to the end of the line clears what a longer line left behind.
    std::fprintf(out_, "\r%s\033[K", line.c_str());
    std::fflush(out_);
    text_ = current;
    percent_ = percent;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (!drawn_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace qrdmerge
