// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

// How wide each byte is drawn, in pixels. Bytes with no advance (control
// characters such as CR) take no room and are not drawn.
struct ConsoleMetrics {
    std::array<std::int32_t, 256> advance{};
    std::int32_t tabWidth = 48;  // distance between tab stops, from the left text edge

    // Where the pen stands after drawing byte c at x.
    std::int64_t nextX(std::int64_t x, unsigned char c) const {
        if (c == '\t') {
            const std::int64_t tab = tabWidth > 0 ? tabWidth : 1;
            return (x / tab + 1) * tab;
        }
        return x + advance[c];
    }

    // Every printable byte one pixel wide; what the console starts with before a font is known.
    static ConsoleMetrics uniform(std::int32_t width, std::int32_t tab);
};

// The console's whole text: bytes exactly as received plus an index of where
// each line starts. A line ends at LF; a CR right before it belongs to the
// line break. The widest line is kept up to date as text arrives, so the
// horizontal extent never needs a rescan of the text.
class ConsoleText {
  public:
    ConsoleText();

    void append(std::string_view bytes);
    void clear();  // empties the text and gives its memory back

    std::size_t size() const { return bytes_.size(); }
    std::string_view bytes() const { return bytes_; }
    std::string text() const { return bytes_; }

    // Always at least one line; text ending in a line break ends with an empty line.
    std::size_t lineCount() const { return starts_.size(); }
    std::size_t lineStart(std::size_t line) const { return starts_[line]; }
    // Where the line's visible content ends: before its CR LF (or LF).
    std::size_t lineEnd(std::size_t line) const;
    std::string_view lineText(std::size_t line) const;
    // The line holding the byte at offset; offsets past the end belong to the last line.
    std::size_t lineOf(std::size_t offset) const;

    const ConsoleMetrics& metrics() const { return metrics_; }
    void setMetrics(const ConsoleMetrics& metrics);  // re-measures the whole text
    std::int64_t widestLine() const { return widest_ > lastX_ ? widest_ : lastX_; }
    std::int64_t lineWidth(std::size_t line) const;

    // Pixel x of the left edge of the byte at offset (the line's end for offsets past it).
    std::int64_t xAt(std::size_t line, std::size_t offset) const;
    // The character boundary in line nearest to pixel x.
    std::size_t offsetAt(std::size_t line, std::int64_t x) const;

  private:
    void measure(std::string_view bytes);

    std::string bytes_;
    std::vector<std::uint64_t> starts_;
    ConsoleMetrics metrics_;
    std::int64_t widest_ = 0;  // widest finished line
    std::int64_t lastX_ = 0;   // width of the line still being received
};

}  // namespace kestrin
