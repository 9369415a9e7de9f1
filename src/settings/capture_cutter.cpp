#include "settings/capture_cutter.h"

#include <algorithm>

namespace kestrin {

namespace {

constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kSpace = 32;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
// Plus sign, comma, minus sign, full stop, slash and the digits.
bool IsValueSymbol(unsigned char c) { return c >= 43 && c <= 57; }
bool IsCapital(unsigned char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

CaptureCutter::CaptureCutter(CaptureOutput& output) : output_(output) { Reset(); }

void CaptureCutter::Reset() {
    CaptureHeld = kStartText;
    CaptureEarlier = kStartText;
    ResetFields();
}

void CaptureCutter::ResetFields() {
    for (std::string& field : CaptureFields) field.clear();
    CaptureFieldIndex = 0;
}

void CaptureCutter::Receive(std::string_view incoming) {
    if (!CaptureHeld.empty() && !incoming.empty()) Classify(incoming);
    CaptureEarlier = std::move(CaptureHeld);
    CaptureHeld.assign(incoming);
}

// An empty look-behind (two events after an event without text) counts as a
// visible character, like the start text: a value is closed rather than run
// together with the next one.
bool CaptureCutter::EarlierEndsValue() const {
    if (CaptureEarlier.empty()) return false;
    const auto c = static_cast<unsigned char>(CaptureEarlier.front());
    return c == kSpace || c == kLineFeed || c == kCarriageReturn;
}

void CaptureCutter::Classify(std::string_view incoming) {
    const auto c = static_cast<unsigned char>(CaptureHeld.front());
    if (IsValueSymbol(c)) {
        AppendHeld();
        if (IsDigit(c) && (incoming == "-" || incoming == "+")) CaptureCloseField();
    } else if (IsCapital(c)) {
        AppendHeld();
    } else if (c == kSpace) {
        if (!EarlierEndsValue()) CaptureCloseField();
    } else if (c == kLineFeed) {
        if (!EarlierEndsValue()) CaptureEndLine();
    }
}

void CaptureCutter::AppendHeld() {
    std::string& field = CaptureFields[CaptureFieldIndex];
    const std::size_t room = kMaxValueBytes - std::min(field.size(), kMaxValueBytes);
    field.append(CaptureHeld, 0, std::min(room, CaptureHeld.size()));
}

void CaptureCutter::CaptureCloseField() {
    std::string& field = CaptureFields[CaptureFieldIndex];
    output_.CaptureAppendConsole(field + '\t');
    output_.CaptureWriteField(field);
    output_.CaptureWriteComma();
    if (CaptureFieldIndex < kLastSlot) {
        ++CaptureFieldIndex;
    } else {
        field.clear();
    }
}

void CaptureCutter::CaptureEndLine() {
    const std::string& field = CaptureFields[CaptureFieldIndex];
    output_.CaptureAppendConsole(field + "\r\n");
    output_.CaptureWriteField(field);
    output_.CaptureWriteComma();
    ResetFields();
}

}  // namespace kestrin
