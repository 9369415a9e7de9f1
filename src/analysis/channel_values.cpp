// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/channel_values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "common/decimal_text.h"

namespace kestrin {

namespace {

constexpr double kScale[] = {1, 10, 100};
constexpr std::int64_t kFactor[] = {1, 10, 100};
constexpr int kMostDecimals = 2;
constexpr double kLargestNarrow = std::numeric_limits<std::int16_t>::max();
constexpr double kLargestWide = std::numeric_limits<std::int32_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The least count of each width stands for a field that is no number.
template <typename T>
constexpr T kNoNumber = std::numeric_limits<T>::min();

template <typename T>
bool IsNumber(T code) {
    if constexpr (std::is_floating_point_v<T>) {
        return !std::isnan(code);
    } else {
        return code != kNoNumber<T>;
    }
}

// `value` as a count of 10^-decimals, when it is exactly one and fits 32 bits.
std::optional<std::int64_t> CountOf(double value, int decimals) {
    // -0 would come back as 0.
    if (value == 0 && std::signbit(value)) return std::nullopt;
    const double scaled = value * kScale[decimals];
    if (!(std::fabs(scaled) <= std::numeric_limits<std::int32_t>::max())) return std::nullopt;
    // Rounded by hand, as std::nearbyint is a call: the check below decides anyway.
    const auto count = static_cast<std::int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
    if (static_cast<double>(count) / kScale[decimals] != value) return std::nullopt;
    return count;
}

template <typename T>
void Extremes(const std::vector<T>& codes, const std::vector<std::array<std::uint8_t, 2>>& runs,
              std::size_t first, std::size_t last, std::size_t& low, std::size_t& high) {
    constexpr std::size_t kRun = ChannelValues::kRunLines;
    low = high = last;
    // In line order and on strictly lower or higher only, so the first of equals stays.
    const auto consider = [&](std::size_t lowAt, std::size_t highAt) {
        if (low == last || codes[lowAt] < codes[low]) low = lowAt;
        if (high == last || codes[highAt] > codes[high]) high = highAt;
    };
    std::size_t i = first;
    while (i < last) {
        if (i % kRun == 0 && i + kRun <= last) {
            const auto& run = runs[i / kRun];
            if (run[0] != 0xff) consider(i + run[0], i + run[1]);
            i += kRun;
        } else {
            if (IsNumber(codes[i])) consider(i, i);
            ++i;
        }
    }
}

// Where the lowest and highest number of the run of kRunLines codes at `run` lie.
template <typename T>
std::array<std::uint8_t, 2> RunOf(const T* run) {
    std::array<std::uint8_t, 2> at{0xff, 0xff};
    T lowest{}, highest{};
    for (std::uint8_t i = 0; i < ChannelValues::kRunLines; ++i) {
        const T code = run[i];
        if (!IsNumber(code)) continue;
        if (at[0] == 0xff || code < lowest) {
            lowest = code;
            at[0] = i;
        }
        if (at[1] == 0xff || code > highest) {
            highest = code;
            at[1] = i;
        }
    }
    return at;
}

template <typename T>
void Release(std::vector<T>& codes) {
    std::vector<T>().swap(codes);
}

}  // namespace

double ChannelValues::operator[](std::size_t index) const {
    switch (form_) {
        case Form::Int16: {
            const std::int16_t code = narrow_[index];
            return IsNumber(code) ? code / kScale[decimals_] : kNaN;
        }
        case Form::Int32: {
            const std::int32_t code = wide_[index];
            return IsNumber(code) ? code / kScale[decimals_] : kNaN;
        }
        case Form::Double:
            break;
    }
    return doubles_[index];
}

template <typename T>
void ChannelValues::append(std::vector<T>& codes, T code) {
    codes.push_back(code);
    // A run is summed up once it is whole; a span's partial runs are read line by line.
    if (++size_ % kRunLines == 0) runs_.push_back(RunOf(codes.data() + size_ - kRunLines));
}

void ChannelValues::push_back(double value) {
    if (form_ != Form::Double) {
        // Most values fit the form and decimals taken so far.
        const double scaled = value * kScale[decimals_];
        const double largest = form_ == Form::Int16 ? kLargestNarrow : kLargestWide;
        if (std::fabs(scaled) <= largest) {
            const auto count = static_cast<std::int32_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
            if (count / kScale[decimals_] == value && (count != 0 || !std::signbit(value))) {
                largest_ = std::max<std::int64_t>(largest_, std::abs(count));
                if (form_ == Form::Int16) return append(narrow_, static_cast<std::int16_t>(count));
                return append(wide_, count);
            }
        }
        if (std::isnan(value)) {
            if (form_ == Form::Int16) return append(narrow_, kNoNumber<std::int16_t>);
            return append(wide_, kNoNumber<std::int32_t>);
        }
        for (int decimals = decimals_; decimals <= kMostDecimals; ++decimals) {
            const std::optional<std::int64_t> count = CountOf(value, decimals);
            if (!count) continue;
            const std::int64_t largest =
                std::max(largest_ * kFactor[decimals - decimals_], std::abs(*count));
            Form form = largest <= std::numeric_limits<std::int16_t>::max()   ? Form::Int16
                        : largest <= std::numeric_limits<std::int32_t>::max() ? Form::Int32
                                                                              : Form::Double;
            form = std::max(form, form_);
            if (form != form_ || decimals != decimals_) changeForm(form, decimals);
            if (form == Form::Double) break;
            largest_ = largest;
            if (form == Form::Int16) return append(narrow_, static_cast<std::int16_t>(*count));
            return append(wide_, static_cast<std::int32_t>(*count));
        }
        if (form_ != Form::Double) changeForm(Form::Double, 0);
    }
    append(doubles_, value);
}

void ChannelValues::pushText(std::string_view text) {
    const std::optional<DecimalDigits> read = ReadDecimalDigits(text);
    if (form_ != Form::Double && read && read->decimals <= decimals_ &&
        (read->digits != 0 || !read->negative)) {
        // The count push_back would find: ReadDecimal's double is the digits
        // over 10^decimals, correctly rounded, and so is this count over
        // 10^decimals_, the same number.
        const std::uint64_t count =
            read->digits * static_cast<std::uint64_t>(kFactor[decimals_ - read->decimals]);
        const auto largest =
            static_cast<std::uint64_t>(form_ == Form::Int16 ? kLargestNarrow : kLargestWide);
        if (count <= largest) {
            const auto code =
                static_cast<std::int32_t>(read->negative ? -static_cast<std::int64_t>(count)
                                                         : static_cast<std::int64_t>(count));
            largest_ = std::max<std::int64_t>(largest_, static_cast<std::int64_t>(count));
            if (form_ == Form::Int16) return append(narrow_, static_cast<std::int16_t>(code));
            return append(wide_, code);
        }
    }
    push_back(read ? DecimalValue(*read) : ReadDecimal(text).value_or(kNaN));
}

void ChannelValues::changeForm(Form form, int decimals) {
    const std::int64_t factor = form == Form::Double ? 1 : kFactor[decimals - decimals_];
    const double scale = kScale[decimals_];
    const std::size_t room = std::max(reserved_, size_);
    // Each count as the new form holds it: the same value, the order kept,
    // so that the runs stay as they are.
    const auto convert = [&](auto& from, auto& to) {
        using From = typename std::remove_reference_t<decltype(from)>::value_type;
        using To = typename std::remove_reference_t<decltype(to)>::value_type;
        if constexpr (std::is_same_v<From, To>) {
            for (To& code : to)
                if (IsNumber(code)) code = static_cast<To>(code * factor);
        } else {
            to.reserve(room);
            for (const From code : from) {
                if constexpr (std::is_floating_point_v<To>) {
                    to.push_back(IsNumber(code) ? code / scale : kNaN);
                } else {
                    to.push_back(IsNumber(code) ? static_cast<To>(code * factor) : kNoNumber<To>);
                }
            }
            Release(from);
        }
    };
    if (form_ == Form::Int16) {
        if (form == Form::Int16) convert(narrow_, narrow_);
        if (form == Form::Int32) convert(narrow_, wide_);
        if (form == Form::Double) convert(narrow_, doubles_);
    } else if (form_ == Form::Int32) {
        if (form == Form::Int32) convert(wide_, wide_);
        if (form == Form::Double) convert(wide_, doubles_);
    }
    form_ = form;
    decimals_ = form == Form::Double ? 0 : decimals;
    largest_ *= factor;
}

void ChannelValues::reserve(std::size_t count) {
    reserved_ = count;
    runs_.reserve(count / kRunLines + 1);
    switch (form_) {
        case Form::Int16:
            return narrow_.reserve(count);
        case Form::Int32:
            return wide_.reserve(count);
        case Form::Double:
            return doubles_.reserve(count);
    }
}

void ChannelValues::eraseFront(std::size_t count) {
    count = std::min(count, size_);
    const auto erase = [count](auto& codes) {
        codes.erase(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(count));
    };
    switch (form_) {
        case Form::Int16:
            erase(narrow_);
            break;
        case Form::Int32:
            erase(wide_);
            break;
        case Form::Double:
            erase(doubles_);
            break;
    }
    size_ -= count;
    rebuildRuns();
}

void ChannelValues::rebuildRuns() {
    runs_.clear();
    const auto track = [this](const auto& codes) {
        for (std::size_t i = 0; i + kRunLines <= codes.size(); i += kRunLines)
            runs_.push_back(RunOf(codes.data() + i));
    };
    switch (form_) {
        case Form::Int16:
            return track(narrow_);
        case Form::Int32:
            return track(wide_);
        case Form::Double:
            return track(doubles_);
    }
}

void ChannelValues::lowestHighest(std::size_t first, std::size_t last, std::size_t& low,
                                  std::size_t& high) const {
    last = std::min(last, size_);
    first = std::min(first, last);
    switch (form_) {
        case Form::Int16:
            return Extremes(narrow_, runs_, first, last, low, high);
        case Form::Int32:
            return Extremes(wide_, runs_, first, last, low, high);
        case Form::Double:
            return Extremes(doubles_, runs_, first, last, low, high);
    }
}

std::size_t ChannelValues::bytes() const {
    return narrow_.capacity() * sizeof(std::int16_t) + wide_.capacity() * sizeof(std::int32_t) +
           doubles_.capacity() * sizeof(double) + runs_.capacity() * sizeof(Run);
}

}  // namespace kestrin
