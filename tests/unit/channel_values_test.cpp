// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/channel_values.h"
#include "analysis/data_keys.h"
#include "common/decimal_text.h"

namespace kestrin {
namespace {

using Form = ChannelValues::Form;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool SameBits(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ChannelValuesTest, KeepsEachColumnInTheNarrowestExactForm) {
    const struct {
        std::vector<std::string> fields;
        Form form;
        int decimals;
    } cases[] = {
        {{"843", "0", "37", "-40"}, Form::Int16, 0},
        {{"3.2", "3.3", "12"}, Form::Int16, 1},
        {{"13.69", "-9.28", "0.1"}, Form::Int16, 2},
        {{"32768"}, Form::Int32, 0},
        // Counts taken before a value with more decimals are scaled with it.
        {{"1", "2.5", "400.25", "-7"}, Form::Int32, 2},
        {{"21474836.48", "1"}, Form::Double, 0},
        {{"5", "0.001"}, Form::Double, 0},
        // "-0" would come back as 0 from a count.
        {{"5", "-0"}, Form::Double, 0},
        {{"-0.00", "5"}, Form::Double, 0},
        {{"+7.", "-.5", "32767", "-32767"}, Form::Int32, 1},
        // No number is kept as such in every form.
        {{"", "7", "x", "0.25"}, Form::Int16, 2},
    };
    for (const auto& c : cases) {
        // Added as numbers, and as the fields' texts.
        ChannelValues values, texts;
        std::vector<double> added;
        for (const std::string& field : c.fields) {
            added.push_back(ReadDecimal(field).value_or(kNaN));
            values.push_back(added.back());
            texts.pushText(field);
        }
        SCOPED_TRACE(c.fields.back());
        for (const ChannelValues* kept : {&values, &texts}) {
            EXPECT_EQ(kept->form(), c.form);
            EXPECT_EQ(kept->decimals(), c.decimals);
            ASSERT_EQ(kept->size(), added.size());
            for (std::size_t i = 0; i < added.size(); ++i)
                EXPECT_TRUE(SameBits((*kept)[i], added[i]))
                    << c.fields[i] << " gave " << (*kept)[i];
        }
    }
}

// The first lowest and first highest number of [first, last), line by line.
void Scan(const std::vector<double>& added, std::size_t first, std::size_t last, std::size_t& low,
          std::size_t& high) {
    low = high = last;
    for (std::size_t i = first; i < last; ++i) {
        if (std::isnan(added[i])) continue;
        if (low == last || added[i] < added[low]) low = i;
        if (high == last || added[i] > added[high]) high = i;
    }
}

TEST(ChannelValuesTest, FindsTheExtremesOfAnySpanAsAScanOfEveryLineWould) {
    // Few distinct values, so that ties are many; runs of no number, and one
    // run with none at all; each form in turn.
    const struct {
        int spread;
        double step;
        Form form;
    } forms[] = {{50, 1, Form::Int16}, {50, 10000, Form::Int32}, {50, 0.001, Form::Double}};
    for (const auto& f : forms) {
        std::mt19937 random(7);
        ChannelValues values;
        std::vector<double> added;
        for (std::size_t i = 0; i < 1000; ++i) {
            const bool gap = random() % 10 == 0 || (i >= 128 && i < 192);
            added.push_back(gap ? kNaN
                                : static_cast<double>(static_cast<int>(random() % f.spread) - 20) *
                                      f.step);
            values.push_back(added.back());
        }
        ASSERT_EQ(values.form(), f.form);
        const struct {
            std::size_t first, last;
        } spans[] = {{0, 1000}, {0, 64},   {1, 64},     {63, 65},   {128, 192}, {120, 200},
                     {5, 995},  {64, 960}, {999, 1000}, {500, 500}, {3, 130}};
        // Then again once the front is taken away: the rest is as it was.
        for (const std::size_t erased : {0, 100}) {
            if (erased > 0) values.eraseFront(erased);  // which sums the runs up anew
            added.erase(added.begin(), added.begin() + static_cast<std::ptrdiff_t>(erased));
            for (const auto& s : spans) {
                const std::size_t last = std::min(s.last, added.size());
                const std::size_t first = std::min(s.first, last);
                std::size_t low = 0, high = 0, wantLow = 0, wantHigh = 0;
                values.lowestHighest(first, last, low, high);
                Scan(added, first, last, wantLow, wantHigh);
                EXPECT_EQ(low, wantLow) << first << "-" << last;
                EXPECT_EQ(high, wantHigh) << first << "-" << last;
            }
        }
    }
}

TEST(DataKeysTest, GivesEveryKeyBackAndFindsItAsASortedListWould) {
    // A file's line numbers with markers and headers between, times of a
    // stream, and a file of few data lines that goes one by one.
    std::vector<double> lines, times, sparse;
    for (double line = 1; line <= 3000; ++line)
        if (static_cast<int>(line) % 500 != 0 && line != 7) lines.push_back(line);
    for (int i = 0; i < 3000; ++i) times.push_back(0.1 * i + 0.05);
    for (double line = 1; line <= 3000; line += 3) sparse.push_back(line);
    const struct {
        const std::vector<double>& keys;
        bool counted;
        std::size_t mostBytes;
    } cases[] = {{lines, true, 8 * 16 + 16}, {times, false, 3000 * 16}, {sparse, true, 1000 * 16}};
    for (const auto& c : cases) {
        DataKeys keys(c.counted);
        for (double key : c.keys) keys.push_back(key);
        ASSERT_EQ(keys.size(), c.keys.size());
        EXPECT_LE(keys.bytes(), c.mostBytes);
        for (std::size_t i = 0; i < c.keys.size(); ++i) ASSERT_EQ(keys[i], c.keys[i]) << i;
        for (double key : {-1.0, 1.0, 6.5, 7.0, 500.0, 2999.0, 4000.0, 17.05}) {
            const auto at = std::lower_bound(c.keys.begin(), c.keys.end(), key);
            EXPECT_EQ(keys.lowerBound(key), static_cast<std::size_t>(at - c.keys.begin()));
            const auto past = std::upper_bound(c.keys.begin(), c.keys.end(), key);
            EXPECT_EQ(keys.upperBound(key), static_cast<std::size_t>(past - c.keys.begin()));
        }
        keys.eraseFront(600);
        ASSERT_EQ(keys.size(), c.keys.size() - 600);
        EXPECT_EQ(keys.front(), c.keys[600]);
        EXPECT_EQ(keys.back(), c.keys.back());
    }
}

}  // namespace
}  // namespace kestrin
