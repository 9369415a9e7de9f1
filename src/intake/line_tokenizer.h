// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/message_prompt.h"
#include "display/console_sink.h"
#include "intake/record.h"
#include "log/log_writer.h"
#include "settings/settings_table.h"

namespace kestrin {

// Turns the unit's character stream into fields and lines: each closed
// field goes to the console and the log, each line of at most nine fields
// gets the decoder's four columns, and each ended line becomes a record for
// the subscribers.
class LineTokenizer : public RecordSource {
  public:
    static constexpr int kSlots = 51;
    // A field longer than this keeps its first kMaxFieldBytes characters.
    static constexpr std::size_t kMaxFieldBytes = 64 * 1024;

    LineTokenizer(ConsoleSink& console, LogWriter& log, const SettingsTable& settings,
                  MessagePrompt& prompt);

    // A chunk of received bytes: each byte is one receive event of its own,
    // held until the next one. An empty chunk is one event with no text.
    void receive(std::string_view bytes);

    // One receive event with the text the port handed over (possibly empty).
    // The text is held until the next event and then classified by its first
    // byte. A failure while handling the held text keeps it for the next
    // event; an invalid argument is reported as "Invalid Procedure Call",
    // anything else silently. Log write failures never get here (LogWriter).
    // Once a line has closed all 51 slots, its further fields are dropped
    // and its line end still ends it in the console and the log.
    void MSComm1_OnComm(std::string_view incoming);

    // Sends the field at FieldIndex to the console and the log and moves to
    // the next slot. Once all 51 slots are closed it does nothing.
    void CloseField();
    // The stream broke off (the port was lost). A held line feed still ends
    // its line; a line cut short ends where it was cut, without its
    // unfinished field and without the decoder's columns; one empty line
    // marks the gap in the console and, while logging, in the log
    // (LogWriter::MarkGap). Whatever arrives next starts a new line.
    void StreamLost();
    // Empties the field store and goes back to slot 0.
    void ResetFields();
    bool MarkerPending = false;

    const std::array<std::string, kSlots>& fields() const { return Fields; }
    std::int16_t fieldIndex() const { return FieldIndex; }
    const std::string& heldText() const { return HeldText; }

  private:
    // The held text is a field character: adds it to the field in progress;
    // `next` is the first byte of the new text.
    void AddHeldToField(char held, char next);
    void EndLine();
    // Puts a derived column's text (at most kMaxFieldBytes of it) into the
    // slot at FieldIndex and closes it; a failure ends only this column.
    void CloseDerivedField(const std::string& text) noexcept;
    void ShowInvalidArgument() noexcept;

    std::array<std::string, kSlots> Fields{};
    std::int16_t FieldIndex = 0;
    std::string HeldText;

    ConsoleSink& console_;
    LogWriter& log_;
    const SettingsTable& settings_;
    MessagePrompt& prompt_;
};

}  // namespace kestrin
