// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/line_tokenizer.h"

#include <algorithm>
#include <stdexcept>

#include "common/char_classes.h"
#include "intake/record_decoder.h"

namespace kestrin {

namespace {

// A line of at most this many fields gets the decoder's columns.
constexpr int kMaxDecodedFields = 9;

}  // namespace

LineTokenizer::LineTokenizer(ConsoleSink& console, LogWriter& log, const SettingsTable& settings,
                             MessagePrompt& prompt)
    : console_(console), log_(log), settings_(settings), prompt_(prompt) {}

void LineTokenizer::receive(std::string_view bytes) {
    if (bytes.empty()) MSComm1_OnComm(bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) MSComm1_OnComm(bytes.substr(i, 1));
}

void LineTokenizer::MSComm1_OnComm(std::string_view incoming) {
    // A failure abandons the event: the held text stays for the next one and
    // the new text is lost.
    try {
        if (!HeldText.empty() && !incoming.empty()) {
            // The held text is classified by its first byte.
            const char held = HeldText.front();
            const char next = incoming.front();
            if (IsFieldChar(held)) {
                AddHeldToField(held, next);
            } else if (held == ' ') {
                // Only the last space of a run closes the field.
                if (next != ' ') CloseField();
            } else if (held == '\n') {
                EndLine();
            }
        }
        // Also when either text is empty: an empty event drops the held text.
        HeldText.assign(incoming);
    } catch (const std::invalid_argument&) {
        ShowInvalidArgument();
    } catch (...) {
    }
}

void LineTokenizer::ShowInvalidArgument() noexcept {
    try {
        prompt_.show("Invalid Procedure Call", kAppTitle, PromptButtons::Ok);
    } catch (...) {
        // Nothing more can be told; the stream goes on.
    }
}

void LineTokenizer::AddHeldToField(char held, char next) {
    if (FieldIndex >= kSlots) return;  // the line has no slot left
    std::string& slot = Fields[FieldIndex];
    const std::size_t before = slot.size();
    slot.append(HeldText, 0, kMaxFieldBytes - std::min(before, kMaxFieldBytes));
    if (SignAfterDigit(held, next)) {
        try {
            CloseField();
        } catch (...) {
            // The held digit is tried again with the next event; it must
            // not end up in the field twice.
            slot.resize(before);
            throw;
        }
    }
}

void LineTokenizer::CloseField() {
    // Past the last slot a line's further fields are dropped: not stored,
    // shown or logged.
    if (FieldIndex >= kSlots) return;
    std::string& field = Fields[FieldIndex];
    // The console gets the field and its tab in one append. The tab stands
    // behind the field's text just for that call, which spares a copy.
    field.push_back('\t');
    try {
        console_.AppendConsole(field);
    } catch (...) {
        field.pop_back();
        throw;
    }
    field.pop_back();
    log_.WriteField(field);
    log_.WriteSeparator(field);
    ++FieldIndex;
}

void LineTokenizer::CloseDerivedField(const std::string& text) noexcept {
    // The column is closed even when it could not be placed: then empty.
    try {
        if (FieldIndex < kSlots) Fields[FieldIndex].assign(text, 0, kMaxFieldBytes);
    } catch (...) {
    }
    try {
        CloseField();
    } catch (...) {
    }
}

void LineTokenizer::EndLine() {
    CloseField();  // even when the field in progress is empty
    Record record;
    record.kind = LineKind::Long;
    if (FieldIndex <= kMaxDecodedFields) {
        DerivedColumns derived =
            DecodeRecord(std::span<const std::string>(Fields.data(), FieldIndex), settings_);
        for (const std::string& text : derived.texts) CloseDerivedField(text);
        record.kind = derived.header ? LineKind::Header : LineKind::Data;
        record.zone = derived.zone;
        record.airFuelHundredths = derived.airFuelHundredths;
        record.boostHundredths = derived.boostHundredths;
    }
    console_.AppendConsole("\r\n");
    log_.EndLogLine();
    const bool marker = MarkerPending;
    if (marker) {
        console_.AppendConsole("\r\n");
        log_.EndLogLine();
        MarkerPending = false;
    }
    record.fields =
        std::span<const std::string>(Fields.data(), std::clamp<int>(FieldIndex, 0, kSlots));
    tellRecord(record);
    if (marker) tellMarker();
    ResetFields();
}

void LineTokenizer::StreamLost() {
    const bool lineFeedHeld = !HeldText.empty() && HeldText.front() == '\n';
    HeldText.clear();
    try {
        if (lineFeedHeld) {
            EndLine();
        } else if (FieldIndex > 0) {
            console_.AppendConsole("\r\n");
        }
        console_.AppendConsole("\r\n");
    } catch (...) {
        // Nothing more can be shown; the gap is still marked in the log.
    }
    ResetFields();
    log_.MarkGap();
}

void LineTokenizer::ResetFields() {
    // Slots above FieldIndex are always empty already.
    const int last = std::clamp<int>(FieldIndex, 0, kSlots - 1);
    for (int i = 0; i <= last; ++i) Fields[i].clear();
    FieldIndex = 0;
}

}  // namespace kestrin
