#include "app/cli_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace veltrano::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr size_t kTableColumns = 24;  // longer names are cut to keep the bar on one line

// 1234567 -> "1,234,567": row counts read at a glance.
std::string grouped(int64_t n) {
    std::string digits = std::to_string(n < 0 ? 0 : n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string clockText(int64_t seconds) {
    char buf[32];
    if (seconds >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return buf;
}

// The first `columns` characters of a UTF-8 text, never half a character.
std::string cut(const std::string& text, size_t columns) {
    size_t chars = 0, i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == columns) break;
        ++chars;
    }
    return text.substr(0, i);
}

int terminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

}  // namespace

ProgressStyle progressStyle(bool quiet) {
    if (quiet) return ProgressStyle::None;
    const char* term = std::getenv("TERM");
    if (::isatty(STDERR_FILENO) != 1 || (term && std::strcmp(term, "dumb") == 0)) return ProgressStyle::Lines;
    return ProgressStyle::Bar;
}

ProgressBar::ProgressBar(std::function<int64_t()> rowsDone, int64_t totalRows, bool estimated)
    : rowsDone_(std::move(rowsDone)), totalRows_(totalRows), estimated_(estimated) {}

void ProgressBar::setTable(const std::string& name) {
    table_ = name;
    draw(true);
}

void ProgressBar::setPercent(int percent) {
    percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    draw(percent_ == 100);
}

void ProgressBar::tick() { draw(false); }

void ProgressBar::end() {
    if (open_) std::fputc('\n', stderr);
    std::fflush(stderr);
    open_ = false;
}

std::string ProgressBar::text(std::chrono::steady_clock::time_point now, int width) const {
    const int64_t done = rowsDone_ ? rowsDone_() : 0;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    std::string line = cut(table_, kTableColumns);
    if (line.size() < table_.size()) line += "~";
    if (!line.empty()) line += ' ';
    // A run that counts its progress in tables moves in big steps; the rows
    // fill the bar in between when their total is known.
    int percent = percent_;
    if (totalRows_ > 0 && done > 0)
        percent = std::max(percent, static_cast<int>(std::min<int64_t>(100, done * 100 / totalRows_)));
    constexpr int kBarWidth = 20;
    const int filled = percent * kBarWidth / 100;
    line += "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kBarWidth - filled), '.') +
            "] " + std::to_string(percent) + "%  " + grouped(done);
    if (totalRows_ > 0) line += (estimated_ ? " of ~" : " of ") + grouped(totalRows_);
    line += " rows";
    if (seconds >= 1) {
        const double rate = static_cast<double>(done) / seconds;
        line += "  " + grouped(static_cast<int64_t>(rate)) + " rows/s";
        // Time left from the rows when their total is known, else from the percentage.
        int64_t left = -1;
        if (totalRows_ > 0 && rate > 0 && done <= totalRows_)
            left = static_cast<int64_t>(static_cast<double>(totalRows_ - done) / rate);
        else if (totalRows_ <= 0 && percent_ > 0)
            left = static_cast<int64_t>(seconds * (100 - percent_) / percent_);
        if (left >= 0) line += "  " + clockText(left) + " left";
    }
    // A line as wide as the terminal wraps, and a wrapped line cannot be redrawn.
    if (width > 1 && line.size() >= static_cast<size_t>(width)) line = cut(line, static_cast<size_t>(width - 1));
    return line;
}

void ProgressBar::draw(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - drawn_ < kRedrawInterval) return;
    drawn_ = now;
    // \r back to the start of the line, \033[K clears what a longer line left.
    std::fprintf(stderr, "\r%s\033[K", text(now, terminalWidth()).c_str());
    std::fflush(stderr);
    open_ = true;
}

}  // namespace veltrano::cli
