#pragma once

#include <string_view>

#include "intake/serial_port.h"

namespace kestrin::test {

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
        for (char c : chars)
            if (listener) listener->onReceive(std::string_view(&c, 1));
    }

    Status openResult;
    int number = 0;
    SerialListener* listener = nullptr;

  private:
    bool open_ = false;
};

}  // namespace kestrin::test
