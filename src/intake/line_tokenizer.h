#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/message_prompt.h"
#include "display/console_sink.h"
#include "intake/record_listener.h"
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
    // Puts `text` (at most kMaxFieldBytes of it) into the slot at FieldIndex,
    // replacing what it held; the record decoder's way to add a column.
    void PlaceField(std::string_view text);

    bool MarkerPending = false;

    // Told of each line as it ends and of each marker; nullptr for nobody.
    // A failure of the listener is its own: the stream goes on.
    void setRecordListener(RecordListener* listener) { listener_ = listener; }

    const std::array<std::string, kSlots>& fields() const { return Fields; }
    std::int16_t fieldIndex() const { return FieldIndex; }
    const std::string& heldText() const { return HeldText; }

  private:
    // The held text is a field character: adds it to the field in progress;
    // `next` is the first byte of the new text.
    void AddHeldToField(char held, char next);
    void EndLine();
    void ShowInvalidArgument() noexcept;
    void TellLineEnded(bool decoded, bool marker) noexcept;

    std::array<std::string, kSlots> Fields{};
    std::int16_t FieldIndex = 0;
    std::string HeldText;

    ConsoleSink& console_;
    LogWriter& log_;
    const SettingsTable& settings_;
    MessagePrompt& prompt_;
    RecordListener* listener_ = nullptr;
};

}  // namespace kestrin
