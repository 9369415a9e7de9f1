// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

namespace kestrin {

// The keys of a log's data lines, ascending. Counted keys (the line numbers
// of a file, where most lines are data lines) are kept as runs of keys that
// follow one another by one: a run takes 16 bytes however many lines it
// holds. Where runs would take more than the keys one by one (a stream's
// times, or a file of few data lines among others), the keys are kept one by one.
class DataKeys {
  public:
    explicit DataKeys(bool counted) : counted_(counted) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    double operator[](std::size_t index) const;
    double front() const { return (*this)[0]; }
    double back() const { return (*this)[size_ - 1]; }
    void push_back(double key);
    void reserve(std::size_t count);
    // Takes away the first `count` keys.
    void eraseFront(std::size_t count);
    // The first index of [from, to) whose key is not below (lowerBound) or is
    // above (upperBound) `key`; `to` when there is none.
    std::size_t lowerBound(double key, std::size_t from, std::size_t to) const;
    std::size_t upperBound(double key, std::size_t from, std::size_t to) const;
    std::size_t lowerBound(double key) const { return lowerBound(key, 0, size_); }
    std::size_t upperBound(double key) const { return upperBound(key, 0, size_); }
    // The memory the keys take.
    std::size_t bytes() const;

  private:
    struct Run {
        std::size_t first;  // the index of its first key
        double key;         // that key
    };
    std::size_t runOf(std::size_t index) const;
    void keepOneByOne();

    bool counted_;
    std::size_t size_ = 0;
    std::vector<Run> runs_;
    std::vector<double> keys_;
};

}  // namespace kestrin
