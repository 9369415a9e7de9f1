// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/data_keys.h"

#include <algorithm>

namespace kestrin {

namespace {

// Runs are given up once they outnumber a quarter of the keys: each takes
// twice a key's room.
bool TooManyRuns(std::size_t runs, std::size_t keys) { return runs > 64 && runs * 4 > keys; }

}  // namespace

std::size_t DataKeys::runOf(std::size_t index) const {
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), index,
                         [](std::size_t i, const Run& run) { return i < run.first; });
    return static_cast<std::size_t>(after - runs_.begin()) - 1;
}

double DataKeys::operator[](std::size_t index) const {
    if (!counted_) return keys_[index];
    const Run& run = runs_[runOf(index)];
    // The same sum as push_back checked, so the key comes back exactly.
    return run.key + static_cast<double>(index - run.first);
}

void DataKeys::push_back(double key) {
    if (!counted_) {
        keys_.push_back(key);
        ++size_;
        return;
    }
    if (runs_.empty() || key != runs_.back().key + static_cast<double>(size_ - runs_.back().first))
        runs_.push_back({size_, key});
    ++size_;
    if (TooManyRuns(runs_.size(), size_)) keepOneByOne();
}

void DataKeys::keepOneByOne() {
    std::vector<double> keys;
    keys.reserve(std::max(size_, keys_.capacity()));
    for (std::size_t i = 0; i < size_; ++i) keys.push_back((*this)[i]);
    keys_ = std::move(keys);
    std::vector<Run>().swap(runs_);
    counted_ = false;
}

void DataKeys::reserve(std::size_t count) {
    // Kept for when the keys go one by one: untouched, it takes no memory.
    keys_.reserve(count);
}

void DataKeys::eraseFront(std::size_t count) {
    count = std::min(count, size_);
    if (!counted_) {
        keys_.erase(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(count));
    } else if (count == size_) {
        runs_.clear();
    } else if (count > 0) {
        const std::size_t first = runOf(count);
        runs_[first].key = (*this)[count];
        runs_[first].first = count;
        runs_.erase(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(first));
        for (Run& run : runs_) run.first -= count;
    }
    size_ -= count;
}

std::size_t DataKeys::lowerBound(double key, std::size_t from, std::size_t to) const {
    while (from < to) {
        const std::size_t middle = from + (to - from) / 2;
        if ((*this)[middle] < key) {
            from = middle + 1;
        } else {
            to = middle;
        }
    }
    return from;
}

std::size_t DataKeys::upperBound(double key, std::size_t from, std::size_t to) const {
    while (from < to) {
        const std::size_t middle = from + (to - from) / 2;
        if (!(key < (*this)[middle])) {
            from = middle + 1;
        } else {
            to = middle;
        }
    }
    return from;
}

std::size_t DataKeys::bytes() const {
    return runs_.capacity() * sizeof(Run) + (counted_ ? 0 : keys_.capacity() * sizeof(double));
}

}  // namespace kestrin
