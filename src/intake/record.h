// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrin {

// What a line that has just ended was.
enum class LineKind {
    Header,  // its last field was "ZON": the decoder added the four titles
    Data,    // at most nine fields, decoded: the four derived columns follow them
    Long,    // ten fields or more, not decoded
};

// One ended line as everything after the console and the log takes it.
struct Record {
    // The unit's full lines: nine fields, then ZONE, STNG, AFR and PSI.
    static constexpr std::size_t kUnitFields = 9;
    static constexpr std::size_t kColumns = 13;

    LineKind kind = LineKind::Long;
    // The line's fields exactly as the console shows them, derived columns
    // included; valid only while the record is being handed round.
    std::span<const std::string> fields;
    // The decoder's numbers (Data only): nothing where its column is empty.
    std::optional<std::int64_t> zone;
    std::optional<std::int64_t> airFuelHundredths;
    std::optional<std::int64_t> boostHundredths;

    // A data line of the unit's nine fields whose zone and air-fuel ratio
    // the decoder worked out: the lines a log's readers take as data.
    bool complete() const {
        return kind == LineKind::Data && fields.size() == kColumns && zone && airFuelHundredths;
    }
};

// Takes the records of a source it has subscribed to. Both calls run inside
// the handling of received bytes: they must return quickly, and a failure
// of theirs is their own (the stream goes on).
class RecordSubscriber {
  public:
    virtual ~RecordSubscriber() = default;
    virtual void onRecord(const Record& record) = 0;
    // A marker's empty line has followed the line just told.
    virtual void onMarker() {}
};

class RecordSubscription;

// Hands every record to its subscribers, in the order they subscribed.
class RecordSource {
  public:
    RecordSource() = default;
    RecordSource(const RecordSource&) = delete;
    RecordSource& operator=(const RecordSource&) = delete;
    // Subscriptions still standing no longer reach it.
    ~RecordSource();

  protected:
    void tellRecord(const Record& record) noexcept;
    void tellMarker() noexcept;

  private:
    friend class RecordSubscription;
    std::vector<RecordSubscription*> subscriptions_;
};

// A subscriber's standing with a source, for as long as this object lives:
// a window holds one as a member, so it joins when it is made and leaves
// when it goes, whichever of the two goes first.
class RecordSubscription {
  public:
    RecordSubscription(RecordSource& source, RecordSubscriber& subscriber);
    RecordSubscription(const RecordSubscription&) = delete;
    RecordSubscription& operator=(const RecordSubscription&) = delete;
    ~RecordSubscription();

  private:
    friend class RecordSource;
    RecordSource* source_;
    RecordSubscriber& subscriber_;
};

}  // namespace kestrin
