#include "analysis/log_channels.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/log_file_reader.h"
#include "intake/record_decoder.h"

namespace kestrin {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
// A zone that does not fit 32 bits is kept as this, which no zone number is.
constexpr std::int32_t kFarZone = std::numeric_limits<std::int32_t>::min();

}  // namespace

void LogChannels::Append(std::string_view line) {
    if (!titled_ && titles_.empty()) {
        for (std::size_t i = 1; i <= kLogColumns; ++i) titles_.push_back(std::to_string(i));
    }
    ++lineCount_;
    SplitLogLine(line, fields_);
    LogDataValues data;
    switch (ClassifyLogLine(fields_, data)) {
        case LogLineKind::Marker:
            if (markers_.size() < kMaxMarkers) markers_.push_back(static_cast<double>(lineCount_));
            return;
        case LogLineKind::Header:
            if (!titled_ && fields_.size() == kLogColumns) {
                titled_ = true;
                titles_.assign(fields_.begin(), fields_.end());
            }
            return;
        case LogLineKind::Other:
            return;
        case LogLineKind::Data:
            break;
    }
    zones_.Add(data);
    dataLines_.push_back(static_cast<double>(lineCount_));
    for (std::size_t i = 0; i < kLogColumns; ++i) {
        const std::optional<double> value = ReadDecimal(fields_[i]);
        values_[i].push_back(value ? static_cast<float>(*value) : kNoValue);
    }
    const bool fits = data.zone >= std::numeric_limits<std::int32_t>::min() + 1 &&
                      data.zone <= std::numeric_limits<std::int32_t>::max();
    zonesOfLines_.push_back(fits ? static_cast<std::int32_t>(data.zone) : kFarZone);
}

std::vector<double> LogChannels::linesOfZone(std::int64_t zone) const {
    std::vector<double> lines;
    for (std::size_t i = 0; i < zonesOfLines_.size(); ++i) {
        if (zonesOfLines_[i] == zone && zonesOfLines_[i] != kFarZone)
            lines.push_back(dataLines_[i]);
    }
    return lines;
}

std::ptrdiff_t LogChannels::dataIndexAt(double line) const {
    const auto after = std::upper_bound(dataLines_.begin(), dataLines_.end(), line);
    return (after - dataLines_.begin()) - 1;
}

Status ReadLogChannels(const std::string& path, LogChannels& channels) {
    LogFileReader reader;
    if (Status opened = reader.Open(path); !opened.ok()) return opened;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) {
        if (tooLong) {
            channels.AppendUnreadable();
        } else {
            channels.Append(line);
        }
    }
    return reader.failure();
}

}  // namespace kestrin
