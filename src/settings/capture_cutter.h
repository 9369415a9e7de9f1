// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

// Where the cutter sends finished values.
class CaptureOutput {
  public:
    virtual ~CaptureOutput() = default;
    virtual void CaptureAppendConsole(std::string_view text) = 0;
    virtual void CaptureWriteField(std::string_view field) = 0;
    virtual void CaptureWriteComma() = 0;
};

// Cuts the unit's settings dump into values, one receive event at a time.
// Each event's text is held for one event and classified by its first
// character when the next text arrives, with the text before it as
// look-behind:
//   + , - . / 0-9 A-Z  stored in the current value; a digit followed by a sign
//                      closes the value, so 12-5 gives 12 and -5;
//   space              closes the value unless a space, CR or LF came before;
//   line feed          ends the line unless a space, CR or LF came before;
//   anything else      dropped (carriage return included).
class CaptureCutter {
  public:
    static constexpr int kSlots = 501;
    static constexpr int kLastSlot = kSlots - 1;
    // A value longer than this keeps its first kMaxValueBytes characters, so a
    // stream without separators cannot use up memory.
    static constexpr std::size_t kMaxValueBytes = 64 * 1024;
    // The look-behind and the held text at the start: a visible character, so
    // a leading space closes an (empty) first value.
    static constexpr std::string_view kStartText = "!";

    explicit CaptureCutter(CaptureOutput& output);

    // Back to the state of a freshly shown dialog.
    void Reset();

    // One receive event with the text the port handed over (possibly empty).
    void Receive(std::string_view incoming);

    // Finishes the current value inside a line. Once the last slot is reached
    // it is reused: its value is still shown and written, then emptied for
    // the next one, so no value of an overlong line is lost.
    void CaptureCloseField();
    // Finishes the current value at a line end and restarts the buffer.
    void CaptureEndLine();

    const std::array<std::string, kSlots>& fields() const { return CaptureFields; }
    std::int16_t fieldIndex() const { return CaptureFieldIndex; }
    const std::string& held() const { return CaptureHeld; }
    const std::string& earlier() const { return CaptureEarlier; }

  private:
    void Classify(std::string_view incoming);
    void AppendHeld();
    void ResetFields();
    bool EarlierEndsValue() const;

    CaptureOutput& output_;
    std::array<std::string, kSlots> CaptureFields{};
    std::int16_t CaptureFieldIndex = 0;
    std::string CaptureHeld;
    std::string CaptureEarlier;
};

}  // namespace kestrin
