// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/log_channels.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>

#include "intake/record_decoder.h"
#include "log/line_reader.h"

namespace kestrin {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

}  // namespace

LogChannels::LogChannels(ChannelSource source)
    : source_(source), dataLines_(source == ChannelSource::File) {
    if (source_ == ChannelSource::Stream) NumberTitles();
}

void LogChannels::NumberTitles() {
    for (std::size_t i = 1; i <= kLogColumns; ++i) titles_.push_back(std::to_string(i));
    ++titleChanges_;
}

void LogChannels::Append(std::string_view line) {
    SplitLogLine(line, fields_);
    AppendFields(fields_, static_cast<double>(lineCount_ + 1));
}

void LogChannels::AppendMarker(double key) {
    ++lineCount_;
    lastKey_ = key;
    if (markers_.size() < kMaxMarkers) markers_.push_back(key);
}

void LogChannels::AppendFields(const std::vector<std::string_view>& fields, double key) {
    if (titles_.empty()) NumberTitles();
    LogDataValues data;
    const LogLineKind kind = ClassifyLogLine(fields, data);
    zones_.Count(kind);
    switch (kind) {
        case LogLineKind::Marker:
            AppendMarker(key);
            return;
        case LogLineKind::Header:
            TakeTitles(fields);
            break;
        case LogLineKind::Other:
            break;
        case LogLineKind::Data:
            AppendData(fields, data, key);
            break;
    }
    ++lineCount_;
    lastKey_ = key;
}

void LogChannels::TakeTitles(std::span<const std::string_view> fields) {
    if ((titled_ && source_ != ChannelSource::Stream) || fields.size() != kLogColumns) return;
    titled_ = true;
    if (!std::equal(fields.begin(), fields.end(), titles_.begin(), titles_.end())) {
        titles_.assign(fields.begin(), fields.end());
        ++titleChanges_;
    }
}

void LogChannels::AppendRecord(const Record& record, double key) {
    ++lineCount_;
    lastKey_ = key;
    if (record.kind == LineKind::Header) {
        fields_.assign(record.fields.begin(), record.fields.end());
        TakeTitles(fields_);
        return;
    }
    if (!record.complete()) return;
    dataLines_.push_back(key);
    for (std::size_t i = 0; i < kLogColumns; ++i) {
        std::optional<double> value;
        if (i == kZoneColumn) {
            value = static_cast<double>(*record.zone);
        } else if (i == kAirFuelColumn) {
            value = static_cast<double>(*record.airFuelHundredths) / 100;
        } else if (i == kLogColumns - 1) {
            if (record.boostHundredths) value = static_cast<double>(*record.boostHundredths) / 100;
        } else {
            value = ReadDecimal(record.fields[i]);
        }
        values_[i].push_back(value.value_or(kNoValue));
    }
}

void LogChannels::AppendData(const std::vector<std::string_view>& fields, const LogDataValues& data,
                             double key) {
    dataLines_.push_back(key);
    for (std::size_t i = 0; i < kLogColumns; ++i) values_[i].pushText(fields[i]);
    if (source_ == ChannelSource::Stream) return;
    zones_.Add(data);
}

void LogChannels::DropBefore(double key) {
    const std::size_t count = dataLines_.lowerBound(key);
    if (count > 0) {
        dataLines_.eraseFront(count);
        for (ChannelValues& column : values_) column.eraseFront(count);
        droppedDataLines_ += count;
    }
    const auto markerEnd = std::lower_bound(markers_.begin(), markers_.end(), key);
    droppedMarkers_ += static_cast<std::size_t>(markerEnd - markers_.begin());
    markers_.erase(markers_.begin(), markerEnd);
}

void LogChannels::KeepRecent(double span, std::size_t maxDataLines) {
    // A sixtieth more than asked is let through before a batch is taken away.
    const double oldestKept = lastKey_ - span;
    const double batchBefore = oldestKept - span / 60;
    std::optional<double> dropBefore;
    if ((!dataLines_.empty() && dataLines_.front() < batchBefore) ||
        (!markers_.empty() && markers_.front() < batchBefore))
        dropBefore = oldestKept;
    if (maxDataLines > 0 && dataLines_.size() > maxDataLines + maxDataLines / 60)
        dropBefore =
            std::max(dropBefore.value_or(oldestKept), dataLines_[dataLines_.size() - maxDataLines]);
    if (dropBefore) DropBefore(*dropBefore);
}

std::vector<double> LogChannels::linesOfZone(std::int64_t zone) const {
    std::vector<double> lines;
    if (source_ == ChannelSource::Stream) return lines;
    // A data line's ZONE field is its zone exactly (ClassifyLogLine), so the
    // column's value is the zone as a double, which holds any zone exactly.
    const ChannelValues& zones = values_[kZoneColumn];
    const double wanted = static_cast<double>(zone);
    for (std::size_t i = 0; i < zones.size(); ++i)
        if (zones[i] == wanted) lines.push_back(dataLines_[i]);
    return lines;
}

std::ptrdiff_t LogChannels::nearestDataIndex(double key) const {
    if (dataLines_.empty()) return -1;
    const std::size_t after = dataLines_.lowerBound(key);
    if (after == 0) return 0;
    const std::size_t before = after - 1;
    const bool afterNearer =
        after != dataLines_.size() && dataLines_[after] - key < key - dataLines_[before];
    return static_cast<std::ptrdiff_t>(afterNearer ? after : before);
}

std::vector<std::size_t> InitialColumns(const std::vector<std::string>& titles) {
    static const std::string_view kInitial[] = {"RPM", "AFR", "PSI"};
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (std::find(std::begin(kInitial), std::end(kInitial), titles[i]) != std::end(kInitial))
            columns.push_back(i);
    }
    if (columns.empty() && titles.size() == kLogColumns)
        columns = {0, kAirFuelColumn, kLogColumns - 1};
    return columns;
}

void LogChannels::Reserve(std::size_t dataLines) {
    dataLines_.reserve(dataLines);
    for (ChannelValues& column : values_) column.reserve(dataLines);
}

std::size_t LogChannels::bytes() const {
    std::size_t bytes = dataLines_.bytes() + markers_.capacity() * sizeof(double);
    for (const ChannelValues& column : values_) bytes += column.bytes();
    return bytes;
}

Status ReadLogChannels(const std::string& path, LogChannels& channels,
                       const std::function<bool(std::uint64_t)>& progress) {
    // A data line as the program writes it has some 50 bytes.
    constexpr std::uintmax_t kDataLineBytes = 50;
    constexpr std::int64_t kLinesPerProgress = 4096;
    LineReader reader;
    if (Status opened = reader.Open(path); !opened.ok()) return opened;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) channels.Reserve(static_cast<std::size_t>(size / kDataLineBytes));
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) {
        if (progress && channels.lineCount() % kLinesPerProgress == 0 &&
            !progress(reader.bytesRead()))
            return Status::FromErrno(ECANCELED);
        if (tooLong) {
            channels.AppendUnreadable();
        } else {
            channels.Append(line);
        }
    }
    return reader.failure();
}

}  // namespace kestrin
