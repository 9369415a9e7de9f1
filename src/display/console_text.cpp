// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/console_text.h"

#include <algorithm>
#include <cstring>

namespace kestrin {

ConsoleMetrics ConsoleMetrics::uniform(std::int32_t width, std::int32_t tab) {
    ConsoleMetrics m;
    for (int c = 0; c < 256; ++c) {
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        m.advance[static_cast<std::size_t>(c)] = control ? 0 : width;
    }
    m.tabWidth = tab;
    return m;
}

ConsoleText::ConsoleText() : starts_{0}, metrics_(ConsoleMetrics::uniform(1, 48)) {}

void ConsoleText::append(std::string_view bytes) {
    if (bytes.empty()) return;
    const std::size_t base = bytes_.size();
    bytes_.append(bytes);
    // Index the line starts first: memchr keeps this cheap for long lines.
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', end - p)));) {
        ++p;
        starts_.push_back(base + static_cast<std::size_t>(p - begin));
    }
    measure(bytes);
}

void ConsoleText::measure(std::string_view bytes) {
    std::int64_t x = lastX_;
    std::int64_t widest = widest_;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            widest = std::max(widest, x);
            x = 0;
        } else {
            x = metrics_.nextX(x, c);
        }
    }
    lastX_ = x;
    widest_ = widest;
}

void ConsoleText::clear() {
    std::string().swap(bytes_);
    std::vector<std::uint64_t>{0}.swap(starts_);
    widest_ = lastX_ = 0;
}

void ConsoleText::setMetrics(const ConsoleMetrics& metrics) {
    metrics_ = metrics;
    widest_ = lastX_ = 0;
    measure(bytes());
}

std::size_t ConsoleText::lineEnd(std::size_t line) const {
    if (line + 1 >= starts_.size()) return bytes_.size();
    std::size_t end = starts_[line + 1] - 1;  // the LF
    if (end > starts_[line] && bytes_[end - 1] == '\r') --end;
    return end;
}

std::string_view ConsoleText::lineText(std::size_t line) const {
    const std::size_t start = starts_[line];
    return {bytes_.data() + start, lineEnd(line) - start};
}

std::size_t ConsoleText::lineOf(std::size_t offset) const {
    const std::uint64_t* first = starts_.data();
    const std::uint64_t* last = first + starts_.size();
    // The last start that is not after offset; starts_[0] is 0, so there is always one.
    const std::uint64_t* it = std::upper_bound(first, last, static_cast<std::uint64_t>(offset));
    return static_cast<std::size_t>(it - first) - 1;
}

std::int64_t ConsoleText::lineWidth(std::size_t line) const {
    std::int64_t x = 0;
    for (const char ch : lineText(line)) x = metrics_.nextX(x, static_cast<unsigned char>(ch));
    return x;
}

std::int64_t ConsoleText::xAt(std::size_t line, std::size_t offset) const {
    const std::string_view text = lineText(line);
    const std::size_t start = lineStart(line);
    const std::size_t count = offset <= start ? 0 : std::min(offset - start, text.size());
    std::int64_t x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        x = metrics_.nextX(x, static_cast<unsigned char>(text[i]));
    }
    return x;
}

std::size_t ConsoleText::offsetAt(std::size_t line, std::int64_t x) const {
    const std::string_view text = lineText(line);
    const std::size_t start = lineStart(line);
    std::int64_t left = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::int64_t right = metrics_.nextX(left, static_cast<unsigned char>(text[i]));
        // Nearer to the byte's left edge than to its right edge: the boundary before it.
        if (x < right && (x - left) * 2 < right - left) return start + i;
        if (x < right) return start + i + 1;
        left = right;
    }
    return start + text.size();
}

}  // namespace kestrin
