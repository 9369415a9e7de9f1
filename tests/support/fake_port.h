// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

#include "port/serial_port.h"

namespace kestrin::test {

// Hands each character of `text` to `receive` as its own event, as the port does; 0x04, which
// no unit sends, stands for an event without text.
template <typename Receive>
void FeedEach(std::string_view text, Receive&& receive) {
    for (const char& c : text) receive(c == '\004' ? std::string_view() : std::string_view(&c, 1));
}

// A serial port that opens as told and plays the unit from the test.
class FakePort : public SerialPort {
  public:
    Status setCommPort(int n) override {
        number = n;
        return Status::Ok();
    }
    Status open() override {
        open_ = openResult.ok();
        return openResult;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void setListener(SerialListener* l) override { listener = l; }

    // The unit sends: one receive event per character.
    void send(std::string_view chars) {
        FeedEach(chars, [this](std::string_view c) { listener->onReceive(c); });
    }

    Status openResult;
    int number = 0;
    SerialListener* listener = nullptr;

  private:
    bool open_ = false;
};

}  // namespace kestrin::test
