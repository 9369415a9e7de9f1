// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QRawFont>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/console_sink.h"
#include "display/console_text.h"

namespace kestrin {

// The live console: a read-only view of every byte received, shown as
// Latin-1, that is never trimmed. Appends are cheap: they go into the text
// store at once and the view catches up on one short timer shortly after.
// While the view stands at its last position it follows new text; once the
// user scrolls away it stays exactly where it was left.
class ConsoleView : public QAbstractScrollArea, public ConsoleSink {
    Q_OBJECT
  public:
    static constexpr int kTabStopTwips = 720;

    explicit ConsoleView(QWidget* parent = nullptr);

    void AppendConsole(std::string_view text) override;
    void clear();  // empties the text, including text not yet shown

    std::string text() const { return text_.text(); }
    std::size_t length() const { return text_.size(); }
    std::size_t lineCount() const { return text_.lineCount(); }
    bool isAtEnd() const;

    // Brings scroll bars and painting up to date with all text received so far.
    void flushPending();
    bool hasPending() const { return pending_; }

    // Selection as byte offsets into text(); anchor is where it started.
    std::size_t selectionStart() const;
    std::size_t selectionEnd() const;
    std::string selectedText() const;
    void setSelection(std::size_t anchor, std::size_t position);
    void selectAll();
    void copy() const;  // the selection to the clipboard, as Latin-1

    int lineHeight() const { return lineHeight_; }
    int tabStopPixels() const { return text_.metrics().tabWidth; }
    int firstVisibleLine() const;
    // Byte offset under a viewport point, as a mouse click would take it.
    std::size_t offsetAt(QPoint viewportPos) const;
    // Viewport point of the left edge of the byte at offset (top of its line).
    QPoint pointAt(std::size_t offset) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void rebuildMetrics();
    void updateScrollBars();
    void onVerticalValueChanged(int value);
    void selectWordAt(std::size_t offset);
    void publishSelection() const;
    void paintLine(QPainter& painter, std::size_t line, int top, int left, int right) const;
    void updateFrom(std::size_t line, std::int64_t x);

    ConsoleText text_;
    QTimer flushTimer_;
    bool pending_ = false;   // text arrived that the scroll bars do not show yet
    std::size_t shown_ = 0;  // bytes of text_ the view has been brought up to date with
    bool following_ = true;  // the view sticks to the last position
    int adjusting_ = 0;      // >0 while the widget itself moves the scroll bars
    int lineHeight_ = 16;
    int ascent_ = 12;
    std::vector<std::uint32_t> glyphs_;  // glyph index of every byte value, drawn with rawFont_
    QRawFont rawFont_;

    std::size_t anchor_ = 0;
    std::size_t position_ = 0;
    bool dragging_ = false;
};

}  // namespace kestrin
