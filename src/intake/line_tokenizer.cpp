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

// The usual event, one character after one held character, kept cheap: when
// the held character only grows the field in progress or is dropped, does
// that and gives true. Otherwise changes nothing and gives false.
bool ConsumeQuietly(char heldChar, char nextChar,
                    std::array<std::string, LineTokenizer::kSlots>& fields,
                    int fieldIndex) noexcept {
    const auto held = static_cast<unsigned char>(heldChar);
    const auto next = static_cast<unsigned char>(nextChar);
    switch (kClassOf[held]) {
        case CharClass::Field: {
            // No slot left (the unsigned test also refuses a negative index),
            // or a sign after a digit, which closes the field.
            if (static_cast<unsigned>(fieldIndex) >= LineTokenizer::kSlots ||
                (IsDigit(held) && IsSign(next)))
                return false;
            std::string& field = fields[static_cast<std::size_t>(fieldIndex)];
            // Within its capacity a field grows without allocating, so
            // without any failure. (The capacity test is written the way
            // push_back makes it, so the compiler drops push_back's own.)
            if (field.size() >= LineTokenizer::kMaxFieldBytes ||
                field.size() + 1 > field.capacity())
                return false;
            field.push_back(heldChar);
            return true;
        }
        case CharClass::Space:
            return next == ' ';  // only the last space of a run closes
        case CharClass::Ignored:
            return true;
        case CharClass::LineEnd:
            return false;
    }
    return false;
}

}  // namespace

LineTokenizer::LineTokenizer(ConsoleSink& console, LogWriter& log, const SettingsTable& settings,
                             MessagePrompt& prompt)
    : console_(console), log_(log), settings_(settings), prompt_(prompt) {}

void LineTokenizer::MSComm1_OnComm(std::string_view incoming) {
    if (incoming.size() == 1 && HeldText.size() == 1 &&
        ConsumeQuietly(HeldText.front(), incoming.front(), Fields, FieldIndex)) {
        HeldText.front() = incoming.front();
        return;
    }
    Receive(incoming);
}

// Out of line, so that the usual event above needs no stack frame.
[[gnu::noinline]] void LineTokenizer::Receive(std::string_view incoming) {
    // A failure abandons the event: the held text stays for the next one and
    // the new text is lost.
    try {
        if (!HeldText.empty() && !incoming.empty()) {
            // The held text is classified by its first byte.
            const auto held = static_cast<unsigned char>(HeldText.front());
            const auto next = static_cast<unsigned char>(incoming.front());
            switch (kClassOf[held]) {
                case CharClass::Field:
                    AddHeldToField(held, next);
                    break;
                case CharClass::Space:
                    // Only the last space of a run closes the field.
                    if (next != ' ') CloseField();
                    break;
                case CharClass::LineEnd:
                    EndLine();
                    break;
                case CharClass::Ignored:
                    break;
            }
        }
        // Also when either text is empty: an empty event drops the held text.
        if (incoming.size() == 1 && HeldText.size() == 1) {
            HeldText.front() = incoming.front();
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

void LineTokenizer::AddHeldToField(unsigned char held, unsigned char next) {
    if (FieldIndex >= kSlots) return;  // the line has no slot left
    std::string& slot = Fields[FieldIndex];
    const std::size_t before = slot.size();
    AppendToField(HeldText);
    // A sign after a digit starts a new field: 12-3 is 12 and -3.
    if (IsDigit(held) && IsSign(next)) {
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
    log_.WriteFieldAndSeparator(field);  // WriteField, then WriteSeparator
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

void LineTokenizer::StreamLost() {
    const bool lineFeedHeld =
        !HeldText.empty() &&
        kClassOf[static_cast<unsigned char>(HeldText.front())] == CharClass::LineEnd;
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
