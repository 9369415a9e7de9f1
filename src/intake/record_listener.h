#pragma once

#include <span>
#include <string>

namespace kestrin {

// What a line that has just ended was.
enum class LineKind {
    Header,  // its last field was "ZON": the decoder added the four titles
    Data,    // at most nine fields, decoded: the four derived columns follow them
    Long,    // ten fields or more, not decoded
};

// Told of every line the tokenizer ends, after the console and the log have
// it, so that windows can follow the stream without reading the console.
// Both calls must return quickly: they run inside the receive event.
class RecordListener {
  public:
    virtual ~RecordListener() = default;
    // The line's fields exactly as the console shows them, derived columns
    // included; valid only during the call.
    virtual void onLine(LineKind /*kind*/, std::span<const std::string> /*fields*/) {}
    // A marker's empty line has followed the line just told.
    virtual void onMarker() {}
};

}  // namespace kestrin
