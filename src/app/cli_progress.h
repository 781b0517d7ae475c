// The progress of a long conversion on a terminal: one line on standard
// error, redrawn in place, naming the table, the rows done (of how many, when
// known), the rate and the time left. Off a terminal the commands keep their
// plain progress lines instead; --quiet shows neither.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace veltrano::cli {

enum class ProgressStyle {
    Bar,    // standard error is a terminal
    Lines,  // standard error is a file or a pipe
    None,   // --quiet
};

// Bar when standard error is a terminal that can redraw a line, else Lines.
ProgressStyle progressStyle(bool quiet);

class ProgressBar {
public:
    // rowsDone is asked at each redraw; totalRows is 0 when not known, and
    // shown as "~N" when it is an estimate.
    ProgressBar(std::function<int64_t()> rowsDone, int64_t totalRows, bool estimated = false);

    void setTable(const std::string& name);
    void setPercent(int percent);
    // Redraws when the last drawing is old enough; cheap to call often.
    void tick();
    // Ends the bar's line, so that a message or the report starts on a
    // line of its own; the next redraw starts a new bar line.
    void end();

    // The line as drawn, at most `width` columns (for tests).
    std::string text(std::chrono::steady_clock::time_point now, int width) const;

private:
    void draw(bool force);

    std::function<int64_t()> rowsDone_;
    int64_t totalRows_;
    bool estimated_;
    std::string table_;
    int percent_ = 0;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawn_{};
    bool open_ = false;  // the cursor stands at the end of a bar line
};

}  // namespace veltrano::cli
