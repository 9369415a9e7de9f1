#include "intake/line_tokenizer.h"

#include <algorithm>
#include <stdexcept>

#include "intake/record_decoder.h"

namespace kestrin {

namespace {

enum class CharClass : unsigned char { Ignored, Field, Space, LineEnd };

constexpr std::array<CharClass, 256> MakeClassTable() {
    std::array<CharClass, 256> table{};                          // every code starts as Ignored
    for (int c = 43; c <= 57; ++c) table[c] = CharClass::Field;  // + , - . / 0-9
    for (int c = 'A'; c <= 'Z'; ++c) table[c] = CharClass::Field;
    table[' '] = CharClass::Space;
    table['\n'] = CharClass::LineEnd;
    return table;
}

constexpr std::array<CharClass, 256> kClassOf = MakeClassTable();

// A line of at most this many fields gets the decoder's columns.
constexpr int kMaxDecodedFields = 9;

constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool IsSign(unsigned char c) { return c == '-' || c == '+'; }

}  // namespace

LineTokenizer::LineTokenizer(ConsoleSink& console, LogWriter& log, const SettingsTable& settings,
                             MessagePrompt& prompt)
    : console_(console), log_(log), settings_(settings), prompt_(prompt) {}

void LineTokenizer::MSComm1_OnComm(std::string_view incoming) {
    // A failure abandons the event: the held text stays for the next one and
    // the new text is lost.
    try {
        if (!HeldText.empty() && !incoming.empty()) {
            Consume(static_cast<unsigned char>(incoming.front()));
        }
        // Also when either text is empty: an empty event drops the held text.
        if (incoming.size() == 1 && HeldText.size() == 1) {
            HeldText.front() = incoming.front();  // the usual case, kept cheap
        } else {
            HeldText.assign(incoming);
        }
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

void LineTokenizer::Consume(unsigned char next) {
    const auto held = static_cast<unsigned char>(HeldText.front());
    switch (kClassOf[held]) {
        case CharClass::Field: {
            if (FieldIndex >= kSlots) return;  // the line has no slot left
            std::string& slot = Fields[FieldIndex];
            const std::size_t before = slot.size();
            AppendToField(HeldText);
            // A sign after a digit starts a new field: 12-3 is 12 and -3.
            if (IsDigit(held) && IsSign(next)) {
                try {
                    CloseField();
                } catch (...) {
                    // The held digit is tried again with the next event; it
                    // must not end up in the field twice.
                    slot.resize(before);
                    throw;
                }
            }
            return;
        }
        case CharClass::Space:
            // Only the last space of a run closes the field.
            if (next != ' ') CloseField();
            return;
        case CharClass::LineEnd:
            EndLine();
            return;
        case CharClass::Ignored:
            return;
    }
}

void LineTokenizer::AppendToField(std::string_view text) {
    std::string& slot = Fields[FieldIndex];
    if (slot.size() >= kMaxFieldBytes) return;
    if (text.size() == 1) {
        slot.push_back(text.front());
    } else {
        slot.append(text.substr(0, kMaxFieldBytes - slot.size()));
    }
}

void LineTokenizer::CloseField() {
    // Past the last slot a line's further fields are dropped: not stored,
    // shown or logged.
    if (FieldIndex < 0 || FieldIndex >= kSlots) return;
    const std::string& field = Fields[FieldIndex];
    consoleText_.assign(field);
    consoleText_ += '\t';
    console_.AppendConsole(consoleText_);
    log_.WriteField(field);
    log_.WriteSeparator(field);
    ++FieldIndex;
}

void LineTokenizer::PlaceField(std::string_view text) {
    if (FieldIndex < 0 || FieldIndex >= kSlots) return;
    Fields[FieldIndex].assign(text.substr(0, kMaxFieldBytes));
}

void LineTokenizer::EndLine() {
    CloseField();  // even when the field in progress is empty
    if (FieldIndex <= kMaxDecodedFields) DecodeRecord(*this, settings_);
    console_.AppendConsole("\r\n");
    log_.EndLogLine();
    if (MarkerPending) {
        console_.AppendConsole("\r\n");
        log_.EndLogLine();
        MarkerPending = false;
    }
    ResetFields();
}

void LineTokenizer::ResetFields() {
    // Slots above FieldIndex are always empty already.
    const int last = std::clamp<int>(FieldIndex, 0, kSlots - 1);
    for (int i = 0; i <= last; ++i) Fields[i].clear();
    FieldIndex = 0;
}

}  // namespace kestrin
