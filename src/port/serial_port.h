// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "common/message_prompt.h"
#include "common/status.h"

namespace kestrin {

// What a window's serial port reports to its owner, on the owner's thread.
class SerialListener {
  public:
    virtual ~SerialListener() = default;
    // Everything one read took from the port, in one call.
    virtual void onReceive(std::string_view bytes) = 0;
    // The device went away or failed while open; the port is already closed.
    virtual void onPortLost(const Status& why) { (void)why; }
};

// A window's serial port: closed at creation, closed with its owner.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    virtual Status setCommPort(int number) = 0;
    // PortNotFound when the device does not exist; any other failure has
    // another code.
    virtual Status open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void setListener(SerialListener* listener) = 0;
};

// Points `port` at port number `number` and opens it. A device that does not
// exist is told to the user ("Com 3 does not exist."); any other failure is
// only returned.
Status OpenPort(SerialPort& port, int number, MessagePrompt& prompt);

// "Com 3 was lost (the device was disconnected).": a port that went away.
std::string PortLostMessage(int number, const Status& why);

// The devices the user's configuration names, by port number. Set once at
// start, before any port opens.
void SetConfiguredPortDevices(std::map<int, std::string> devices);

// The device behind port number `number`, looked up afresh at every call:
// $KESTRIN_COM<number> when it is set, else the configured device, else
// /dev/ttyUSB<number-1> (COM<number> on Windows).
std::string DevicePathForPort(int number);

}  // namespace kestrin
