// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/channel_values.h"
#include "analysis/data_keys.h"
#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "common/status.h"
#include "intake/record.h"

namespace kestrin {

enum class ChannelSource {
    File,    // keys are line numbers; titles from the first header; with a zone table
    Stream,  // keys are given with each line; titles from the latest header; no zone table
};

// The values of a log's data lines by column, for plotting, and the zone
// table of the same lines. Each line has a key on the plot's horizontal
// axis: from a file, lines are numbered from 1 in file order, markers and
// other lines included, so positions match the file; from a running stream
// the caller gives each line its key (a time), ascending.
class LogChannels {
  public:
    explicit LogChannels(ChannelSource source = ChannelSource::File);

    // Column titles: those of the first (from a stream, the latest) header
    // line, or "1" to "13" before one (from a file, once it has a line).
    const std::vector<std::string>& titles() const { return titles_; }
    // Grows whenever the titles change.
    int titleChanges() const { return titleChanges_; }
    // Keys of the data lines, ascending.
    const DataKeys& dataLines() const { return dataLines_; }
    // Column `column` of every data line; a field that is not a number is NaN.
    const ChannelValues& values(std::size_t column) const { return values_[column]; }
    // The memory the keys and values of the data lines and the markers take.
    std::size_t bytes() const;
    // Keys of the markers (empty lines), the first kMaxMarkers of them: a
    // person sets a marker by hand, so a file of empty lines must not fill memory.
    static constexpr std::size_t kMaxMarkers = 100000;
    const std::vector<double>& markers() const { return markers_; }
    const ZoneTable& zoneTable() const { return zones_; }
    // The lines of a file by kind; leftOut are those left out as not the unit's.
    const LogLineCounts& lineCounts() const { return zones_.lineCounts(); }
    // Line numbers of the data lines of `zone`, ascending.
    std::vector<double> linesOfZone(std::int64_t zone) const;
    // Index into dataLines() of the data line whose key lies nearest to
    // `key` (the earlier of two as near), or -1 when there is none.
    std::ptrdiff_t nearestDataIndex(double key) const;
    std::int64_t lineCount() const { return lineCount_; }
    // The key of the last line appended, 0 before any.
    double lastKey() const { return lastKey_; }
    // How many data lines and markers DropBefore has taken away so far.
    std::size_t droppedDataLines() const { return droppedDataLines_; }
    std::size_t droppedMarkers() const { return droppedMarkers_; }

    // Adds the next line of the log, without its line end; a line too long
    // to read counts as a line that is no data.
    void Append(std::string_view line);
    void AppendUnreadable() {
        zones_.Count(LogLineKind::Other);
        lastKey_ = static_cast<double>(++lineCount_);
    }
    // Adds a line already split into its fields, at `key`.
    void AppendFields(const std::vector<std::string_view>& fields, double key);
    // Adds a line of a running stream at `key`: its titles when it is a
    // header line of the unit's columns, its values when it is a complete
    // data line (the decoder's numbers as they are, never read back from
    // their texts); any other line only counts.
    void AppendRecord(const Record& record, double key);
    void AppendMarker(double key);
    // Makes room for about `dataLines` data lines, so that reading a file of
    // known size grows no column twice.
    void Reserve(std::size_t dataLines);

    // Takes away the data lines and markers keyed before `key`.
    void DropBefore(double key);
    // Keeps memory bounded while a stream runs: takes away what lies more
    // than `span` before the last key, and the oldest data lines beyond
    // `maxDataLines`. Works in batches, so that most calls move nothing.
    void KeepRecent(double span, std::size_t maxDataLines);

  private:
    void NumberTitles();
    void TakeTitles(std::span<const std::string_view> fields);
    void AppendData(const std::vector<std::string_view>& fields, const LogDataValues& data,
                    double key);

    ChannelSource source_;
    std::vector<std::string> titles_;
    bool titled_ = false;
    int titleChanges_ = 0;
    double lastKey_ = 0;
    std::size_t droppedDataLines_ = 0;
    std::size_t droppedMarkers_ = 0;
    DataKeys dataLines_;
    ChannelValues values_[kLogColumns];
    std::vector<double> markers_;
    ZoneTable zones_;
    std::int64_t lineCount_ = 0;
    std::vector<std::string_view> fields_;
};

// The columns a plot shows at first: those titled RPM, AFR and PSI; where no
// title matches, the unit's first column, the air-fuel ratio and the boost.
std::vector<std::size_t> InitialColumns(const std::vector<std::string>& titles);

// Reads the whole log at `path` into `channels`; the failure when the file
// cannot be opened or read. `progress`, when given, is called every few
// thousand lines with the bytes read so far; when it returns false reading
// stops, with the failure ECANCELED.
Status ReadLogChannels(const std::string& path, LogChannels& channels,
                       const std::function<bool(std::uint64_t)>& progress = {});

}  // namespace kestrin
