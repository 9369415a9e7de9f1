#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/message_prompt.h"
#include "display/console_sink.h"
#include "log/log_writer.h"
#include "settings/settings_table.h"

namespace kestrin {

// Turns the unit's character stream, one receive event at a time, into fields
// and lines: each closed field goes to the console and the log, each line of
// at most nine fields gets the decoder's four columns.
class LineTokenizer {
public:
    static constexpr int kSlots = 51;
    // A field longer than this keeps its first kMaxFieldBytes characters.
    static constexpr std::size_t kMaxFieldBytes = 64 * 1024;

    LineTokenizer(ConsoleSink& console, LogWriter& log, const SettingsTable& settings,
                  MessagePrompt& prompt);

    // One receive event with the text the port handed over (possibly empty).
    void MSComm1_OnComm(std::string_view incoming);

    void CloseField();
    void ResetFields();

    bool MarkerPending = false;

    const std::array<std::string, kSlots>& fields() const { return Fields; }
    std::int16_t fieldIndex() const { return FieldIndex; }
    const std::string& heldText() const { return HeldText; }

private:
    // ... implementation details
    std::array<std::string, kSlots> Fields{};
    std::int16_t FieldIndex = 0;
    std::string HeldText;

    ConsoleSink& console_;
    LogWriter& log_;
    const SettingsTable& settings_;
    MessagePrompt& prompt_;
};

}  // namespace kestrin
