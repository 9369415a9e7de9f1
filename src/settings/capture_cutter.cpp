// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/capture_cutter.h"

#include <algorithm>

#include "common/char_classes.h"

namespace kestrin {

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
    const char c = CaptureEarlier.front();
    return c == ' ' || c == '\n' || c == '\r';
}

void CaptureCutter::Classify(std::string_view incoming) {
    const char c = CaptureHeld.front();
    if (IsFieldChar(c)) {
        AppendHeld();
        if (incoming.size() == 1 && SignAfterDigit(c, incoming.front())) CaptureCloseField();
    } else if (c == ' ') {
        if (!EarlierEndsValue()) CaptureCloseField();
    } else if (c == '\n') {
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
