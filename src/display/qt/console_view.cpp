// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/qt/console_view.h"
#include "common/qt/latin1.h"
#include "common/rhythm.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kestrin {

namespace {

constexpr int kMarginX = 4;  // space between the frame and the left text edge
constexpr int kMarginY = 2;
// Scroll bars take ints; far beyond any line anyone would scroll along.
constexpr std::int64_t kMaxHorizontalRange = std::numeric_limits<int>::max() / 2;

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

bool isWordByte(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; }

}  // namespace

ConsoleView::ConsoleView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("txtVornOutput"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kRhythmMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ConsoleView::flushPending);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &ConsoleView::onVerticalValueChanged);

    rebuildMetrics();
    updateScrollBars();
}

void ConsoleView::AppendConsole(std::string_view text) {
    if (text.empty()) return;
    // Decide before the text goes in: the scroll bars still show the view as
    // the user sees it, even while earlier text waits for the next flush.
    if (adjusting_ == 0) following_ = isAtEnd();
    text_.append(text);
    pending_ = true;
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void ConsoleView::clear() {
    flushTimer_.stop();
    text_.clear();
    pending_ = false;
    anchor_ = position_ = 0;
    dragging_ = false;
    following_ = true;
    updateScrollBars();
    viewport()->update();
}

bool ConsoleView::isAtEnd() const {
    const QScrollBar* bar = verticalScrollBar();
    return bar->maximum() <= bar->minimum() || bar->value() >= bar->maximum();
}

void ConsoleView::flushPending() {
    flushTimer_.stop();
    if (!pending_) return;
    // Only what came since the last flush is drawn: the rest of the line that
    // was last then, and the lines after it. Following scrolls the pixels
    // that stay (scrollContentsBy) instead of drawing them again.
    const std::size_t line = text_.lineOf(shown_);
    // Past this the exact edge costs more to find than the whole row to draw.
    constexpr std::size_t kMeasuredLineBytes = 4096;
    const std::int64_t x =
        text_.lineText(line).size() <= kMeasuredLineBytes ? text_.xAt(line, shown_) : 0;
    updateScrollBars();
    updateFrom(line, x);
}

// Schedules the repaint of the given line from content pixel x on, and of
// every line below it, as far as they are in view.
void ConsoleView::updateFrom(std::size_t line, std::int64_t x) {
    const QRect view = viewport()->rect();
    const std::int64_t row =
        static_cast<std::int64_t>(line) - static_cast<std::int64_t>(firstVisibleLine());
    const std::int64_t top = kMarginY + row * lineHeight_;
    if (top >= view.height()) return;
    // A glyph may reach a pixel to the left of its cell.
    const std::int64_t left =
        std::max<std::int64_t>(0, x + kMarginX - horizontalScrollBar()->value() - 1);
    QRegion dirty;
    if (left < view.width())
        dirty += QRect(clampToInt(left), clampToInt(top), view.width(), lineHeight_);
    const std::int64_t below = std::max<std::int64_t>(0, top + lineHeight_);
    if (below < view.height()) dirty += QRect(0, clampToInt(below), view.width(), view.height());
    viewport()->update(dirty & view);
}

int ConsoleView::firstVisibleLine() const { return verticalScrollBar()->value(); }

void ConsoleView::onVerticalValueChanged(int value) {
    // A scroll by the user (wheel, bar, keys) decides anew whether to follow.
    if (adjusting_ == 0) following_ = value >= verticalScrollBar()->maximum();
}

void ConsoleView::updateScrollBars() {
    // Re-entered when a scroll bar appearing or vanishing resizes the viewport;
    // the follow decision made before stays in force through all of it.
    ++adjusting_;
    const bool stick = following_;

    const int height = viewport()->height() - 2 * kMarginY;
    const int visibleLines = std::max(1, height / std::max(1, lineHeight_));
    const std::size_t lines = text_.lineCount();
    const std::size_t top =
        lines > static_cast<std::size_t>(visibleLines) ? lines - visibleLines : 0;
    QScrollBar* vbar = verticalScrollBar();
    vbar->setRange(0, clampToInt(static_cast<std::int64_t>(
                          std::min<std::size_t>(top, std::numeric_limits<int>::max()))));
    vbar->setPageStep(visibleLines);
    vbar->setSingleStep(1);

    // Room for the widest line plus the mark of a selected line break.
    const std::int64_t contentWidth = text_.widestLine() + 2 * kMarginX +
                                      text_.metrics().advance[static_cast<unsigned char>(' ')];
    const std::int64_t overflow = contentWidth - viewport()->width();
    QScrollBar* hbar = horizontalScrollBar();
    hbar->setRange(0, clampToInt(std::clamp<std::int64_t>(overflow, 0, kMaxHorizontalRange)));
    hbar->setPageStep(std::max(1, viewport()->width()));
    hbar->setSingleStep(std::max(1, text_.metrics().advance[static_cast<unsigned char>('0')] * 2));

    if (stick) vbar->setValue(vbar->maximum());
    following_ = stick;
    pending_ = false;
    shown_ = text_.size();
    --adjusting_;
}

void ConsoleView::rebuildMetrics() {
    const QFont f = font();
    const QFontMetrics fm(f);
    lineHeight_ = std::max(1, fm.lineSpacing());
    ascent_ = fm.ascent();
    rawFont_ = QRawFont::fromFont(f);

    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const int tab = std::max(1, kTabStopTwips * dpi / 1440);
    ConsoleMetrics metrics = ConsoleMetrics::uniform(0, tab);
    glyphs_.assign(256, 0);
    for (int c = 0; c < 256; ++c) {
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        if (control) continue;  // CR and the like take no room and are not drawn
        const QChar ch(static_cast<char16_t>(c));
        quint32 glyph = 0;
        int count = 1;
        int advance = 0;
        if (rawFont_.isValid() && rawFont_.glyphIndexesForChars(&ch, 1, &glyph, &count) &&
            count == 1 && glyph != 0) {
            const QList<QPointF> advances = rawFont_.advancesForGlyphIndexes(QList<quint32>{glyph});
            if (!advances.isEmpty()) advance = qRound(advances.front().x());
        }
        if (advance <= 0) advance = fm.horizontalAdvance(ch);
        glyphs_[static_cast<std::size_t>(c)] = glyph;
        metrics.advance[static_cast<std::size_t>(c)] = std::max(1, advance);
    }
    text_.setMetrics(metrics);
}

std::size_t ConsoleView::selectionStart() const { return std::min(anchor_, position_); }

std::size_t ConsoleView::selectionEnd() const { return std::max(anchor_, position_); }

std::string ConsoleView::selectedText() const {
    const std::size_t start = std::min(selectionStart(), text_.size());
    const std::size_t end = std::min(selectionEnd(), text_.size());
    return std::string(text_.bytes().substr(start, end - start));
}

void ConsoleView::setSelection(std::size_t anchor, std::size_t position) {
    anchor_ = std::min(anchor, text_.size());
    position_ = std::min(position, text_.size());
    viewport()->update();
}

void ConsoleView::selectAll() { setSelection(0, text_.size()); }

void ConsoleView::copy() const {
    if (selectionStart() >= selectionEnd()) return;  // keep what the clipboard holds
    const std::string bytes = selectedText();
    QGuiApplication::clipboard()->setText(Latin1(bytes));
}

// Where the window system has a selection clipboard, a mouse selection goes there too.
void ConsoleView::publishSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection() || selectionStart() >= selectionEnd()) return;
    const std::string bytes = selectedText();
    clipboard->setText(Latin1(bytes), QClipboard::Selection);
}

std::size_t ConsoleView::offsetAt(QPoint viewportPos) const {
    const int dy = viewportPos.y() - kMarginY;
    const int row = dy >= 0 ? dy / lineHeight_ : -((-dy + lineHeight_ - 1) / lineHeight_);
    const std::int64_t last = static_cast<std::int64_t>(text_.lineCount()) - 1;
    const std::int64_t line =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(firstVisibleLine()) + row, 0, last);
    const std::int64_t x =
        static_cast<std::int64_t>(viewportPos.x()) - kMarginX + horizontalScrollBar()->value();
    return text_.offsetAt(static_cast<std::size_t>(line), x);
}

QPoint ConsoleView::pointAt(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const std::size_t line = text_.lineOf(offset);
    const std::int64_t row =
        static_cast<std::int64_t>(line) - static_cast<std::int64_t>(firstVisibleLine());
    const std::int64_t x = text_.xAt(line, offset) + kMarginX - horizontalScrollBar()->value();
    return {clampToInt(x), clampToInt(row * lineHeight_ + kMarginY)};
}

void ConsoleView::selectWordAt(std::size_t offset) {
    const std::string_view bytes = text_.bytes();
    const std::size_t line = text_.lineOf(offset);
    const std::size_t lineStart = text_.lineStart(line);
    const std::size_t lineEnd = text_.lineEnd(line);
    std::size_t start = std::min(offset, lineEnd);
    std::size_t end = start;
    while (start > lineStart && isWordByte(bytes[start - 1])) --start;
    while (end < lineEnd && isWordByte(bytes[end])) ++end;
    setSelection(start, end);
}

void ConsoleView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    // The background goes in bands of a few lines: the raster engine hands a
    // fill of many rows to worker threads, which costs more than it saves here.
    const int band = std::max(1, 4 * lineHeight_);
    for (int y = area.top(); y <= area.bottom(); y += band)
        painter.fillRect(QRect(area.left(), y, area.width(), std::min(band, area.bottom() + 1 - y)),
                         palette().base());

    const int left = horizontalScrollBar()->value();
    const int right = left + viewport()->width();
    const std::size_t lines = text_.lineCount();
    int top = kMarginY;
    for (std::size_t line = static_cast<std::size_t>(firstVisibleLine());
         line < lines && top <= area.bottom(); ++line, top += lineHeight_) {
        if (top + lineHeight_ > area.top()) paintLine(painter, line, top, left, right);
    }
}

// Draws the part of one line that falls between pixel columns left and right
// of the content; a line of megabytes is walked only up to the right edge.
void ConsoleView::paintLine(QPainter& painter, std::size_t line, int top, int left,
                            int right) const {
    const std::string_view bytes = text_.lineText(line);
    const std::size_t start = text_.lineStart(line);
    const ConsoleMetrics& metrics = text_.metrics();
    const std::int64_t viewLeft = static_cast<std::int64_t>(left) - kMarginX;
    const std::int64_t viewRight = static_cast<std::int64_t>(right) - kMarginX;

    // The selection's share of this line, as offsets within it; a selection
    // reaching past the line end covers the line break too.
    const std::size_t selStart = selectionStart();
    const std::size_t selEnd = selectionEnd();
    const std::size_t next =
        line + 1 < text_.lineCount() ? text_.lineStart(line + 1) : text_.size();
    const bool selected = selStart < selEnd && selStart < next && selEnd > start;
    const std::size_t from = selStart <= start ? 0 : std::min(selStart - start, bytes.size());
    const std::size_t to = std::min(selEnd - std::min(selEnd, start), bytes.size());
    const bool coversBreak = selEnd >= next && line + 1 < text_.lineCount();
    std::int64_t selX1 = viewRight + 1;
    std::int64_t selX2 = viewRight + 1;

    QList<quint32> glyphs;
    QList<QPointF> positions;
    std::int64_t x = 0;
    std::size_t i = 0;
    for (; i < bytes.size(); ++i) {
        if (i == from) selX1 = x;
        if (i == to) selX2 = x;
        if (x > viewRight) break;
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::int64_t nextX = metrics.nextX(x, c);
        if (nextX > viewLeft && c != '\t' && metrics.advance[c] > 0) {
            glyphs.append(glyphs_[c]);
            positions.append(QPointF(static_cast<qreal>(x - viewLeft), 0));
        }
        x = nextX;
    }
    if (i == bytes.size()) {
        if (from == i) selX1 = x;
        if (to == i) selX2 = x;
        if (coversBreak) selX2 = x + std::max(4, metrics.advance[static_cast<unsigned char>(' ')]);
    }

    QRect selection;
    if (selected && selX2 > selX1) {
        const std::int64_t x1 = std::max(selX1, viewLeft) - viewLeft;
        const std::int64_t x2 = std::min(selX2, viewRight + 1) - viewLeft;
        if (x2 > x1) {
            selection = QRect(clampToInt(x1), top, clampToInt(x2 - x1), lineHeight_);
            painter.fillRect(selection, palette().highlight());
        }
    }
    if (glyphs.isEmpty()) return;

    QGlyphRun run;
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    const QPointF baseline(0, top + ascent_);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawGlyphRun(baseline, run);
    if (!selection.isEmpty()) {
        painter.save();
        painter.setClipRect(selection);
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawGlyphRun(baseline, run);
        painter.restore();
    }
}

void ConsoleView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ConsoleView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        rebuildMetrics();
        updateScrollBars();
        viewport()->update();
    }
}

// The vertical bar counts lines, the horizontal one pixels. Copying pixels
// within the window costs the window system about as much as drawing them
// anew, so only a view that keeps most of what it showed is scrolled.
void ConsoleView::scrollContentsBy(int dx, int dy) {
    const std::int64_t pixels = static_cast<std::int64_t>(dy) * lineHeight_;
    if (2 * std::abs(pixels) >= viewport()->height() || 2 * std::abs(dx) >= viewport()->width()) {
        viewport()->update();
        return;
    }
    viewport()->scroll(dx, static_cast<int>(pixels));
}

void ConsoleView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    QScrollBar* vbar = verticalScrollBar();
    QScrollBar* hbar = horizontalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_PageUp:
            vbar->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case Qt::Key_PageDown:
            vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case Qt::Key_Up:
            vbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Down:
            vbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_Left:
            hbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Right:
            hbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_Home:
            if (ctrl) vbar->triggerAction(QAbstractSlider::SliderToMinimum);
            hbar->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case Qt::Key_End:
            if (ctrl) {
                // Back to the newest text, pending text included, and follow it again.
                flushPending();
                vbar->triggerAction(QAbstractSlider::SliderToMaximum);
                hbar->triggerAction(QAbstractSlider::SliderToMinimum);
            } else {
                hbar->triggerAction(QAbstractSlider::SliderToMaximum);
            }
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ConsoleView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // Only the selection changes; the view does not move to it.
    const std::size_t offset = offsetAt(event->position().toPoint());
    if (event->modifiers() & Qt::ShiftModifier) {
        position_ = offset;
    } else {
        anchor_ = position_ = offset;
    }
    dragging_ = true;
    viewport()->update();
}

void ConsoleView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint pos = event->position().toPoint();
    // Dragging past an edge scrolls that way, so a selection can reach beyond the view.
    if (pos.y() < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (pos.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (pos.x() < 0) horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (pos.x() > viewport()->width())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    position_ = offsetAt(pos);
    viewport()->update();
}

void ConsoleView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    publishSelection();
}

void ConsoleView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    selectWordAt(offsetAt(event->position().toPoint()));
    publishSelection();
}

void ConsoleView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &ConsoleView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selectionStart() < selectionEnd());
    QAction* selectAllAction = menu.addAction(tr("Select &All"), this, &ConsoleView::selectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(text_.size() > 0);
    menu.exec(event->globalPos());
}

}  // namespace kestrin
