// A one-line progress bar for a terminal: "<text> [=====     ]  50%",
// redrawn in place.  A new text finishes the line of the previous one, so
// each recording keeps its own line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qrdmerge {

// The line for text at percent, at most width columns: the text is cut at
// the front (keeping the end of a long path) when the bar would not fit.
std::string ProgressLine(const std::string& text, uint32_t percent, size_t width);

class ProgressBar {
public:
    ProgressBar(std::FILE* out, size_t width) : out_(out), width_(width) {}
    // Redraws only when the text or the percentage changed.
    void Update(const char* text, uint32_t percent);
    // Ends the current line, if one was drawn.
    void Finish();

private:
    std::FILE* out_;
    size_t width_;
    std::string text_;
    uint32_t percent_ = 0;
    bool drawn_ = false;
};

}  // namespace qrdmerge
