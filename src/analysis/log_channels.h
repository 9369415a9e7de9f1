#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "common/status.h"

namespace kestrin {

// The values of a log's data lines by column, for plotting, and the zone
// table of the same lines. Lines are numbered from 1 in file order, markers
// and other lines included, so positions match the file. Lines can be
// appended at any time, from a file or from a running stream.
class LogChannels {
  public:
    // Column titles: those of the first header line, or "1" to "13" before one.
    const std::vector<std::string>& titles() const { return titles_; }
    // Line numbers of the data lines, ascending.
    const std::vector<double>& dataLines() const { return dataLines_; }
    // Column `column` of every data line; a field that is not a number is NaN.
    const std::vector<float>& values(std::size_t column) const { return values_[column]; }
    // Line numbers of the markers (empty lines), the first kMaxMarkers of them: a
    // person sets a marker by hand, so a file of empty lines must not fill memory.
    static constexpr std::size_t kMaxMarkers = 100000;
    const std::vector<double>& markers() const { return markers_; }
    const ZoneTable& zoneTable() const { return zones_; }
    // Line numbers of the data lines of `zone`, ascending.
    std::vector<double> linesOfZone(std::int64_t zone) const;
    // Index into dataLines() of the data line at or nearest before `line`, or -1.
    std::ptrdiff_t dataIndexAt(double line) const;
    std::int64_t lineCount() const { return lineCount_; }

    // Adds the next line of the log, without its line end; a line too long
    // to read counts as a line that is no data.
    void Append(std::string_view line);
    void AppendUnreadable() { ++lineCount_; }

  private:
    std::vector<std::string> titles_;
    bool titled_ = false;
    std::vector<double> dataLines_;
    std::vector<float> values_[kLogColumns];
    std::vector<std::int32_t> zonesOfLines_;
    std::vector<double> markers_;
    ZoneTable zones_;
    std::int64_t lineCount_ = 0;
    std::vector<std::string_view> fields_;
};

// Reads the whole log at `path` into `channels`; the failure when the file
// cannot be opened or read.
Status ReadLogChannels(const std::string& path, LogChannels& channels);

}  // namespace kestrin
