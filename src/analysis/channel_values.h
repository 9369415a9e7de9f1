// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrin {

// The values of one column of a log, one per data line in line order, in
// the narrowest form that gives every value back exactly as it was added:
// whole numbers, tenths or hundredths counted in 16 or 32 bits while each
// value of the column is one, doubles from the first that is not. A log of
// millions of lines then takes less memory than its file. NaN stands for a
// field that is no number.
//
// Beside the values, for each run of kRunLines of them, where the run's
// lowest and highest numbers lie: the extremes of millions of lines, as a
// plot thinned to its pixel columns needs them, are found from the runs.
class ChannelValues {
  public:
    static constexpr std::size_t kRunLines = 64;
    enum class Form { Int16, Int32, Double };

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    double operator[](std::size_t index) const;
    void push_back(double value);
    // Adds a field's text as ReadDecimal reads it, NaN for no number: the
    // same as push_back of that double, the count taken from the digits
    // when they fit the form as it stands.
    void pushText(std::string_view text);
    void reserve(std::size_t count);
    // Takes away the first `count` values.
    void eraseFront(std::size_t count);
    // Of the values [first, last): the index of the first of the lowest and
    // of the first of the highest numbers; `last` for both when none is a number.
    void lowestHighest(std::size_t first, std::size_t last, std::size_t& low,
                       std::size_t& high) const;

    Form form() const { return form_; }
    // Decimals counted in a 16- or 32-bit form: 0 (whole), 1 or 2.
    int decimals() const { return decimals_; }
    // The memory the values and their runs take.
    std::size_t bytes() const;

  private:
    // Offsets into a run of its lowest and highest number; kNone where it has none.
    static constexpr std::uint8_t kNone = 0xff;
    using Run = std::array<std::uint8_t, 2>;
    static_assert(kRunLines < kNone);

    void changeForm(Form form, int decimals);
    template <typename T>
    void append(std::vector<T>& codes, T code);
    void rebuildRuns();

    Form form_ = Form::Int16;
    int decimals_ = 0;
    std::size_t size_ = 0;
    std::size_t reserved_ = 0;
    // The largest magnitude among the counts, in decimals_.
    std::int64_t largest_ = 0;
    std::vector<std::int16_t> narrow_;
    std::vector<std::int32_t> wide_;
    std::vector<double> doubles_;
    std::vector<Run> runs_;
};

}  // namespace kestrin
