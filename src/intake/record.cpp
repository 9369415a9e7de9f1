// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/record.h"

#include <algorithm>

namespace kestrin {

RecordSource::~RecordSource() {
    for (RecordSubscription* subscription : subscriptions_) subscription->source_ = nullptr;
}

void RecordSource::tellRecord(const Record& record) noexcept {
    // By index: a subscriber may end a subscription (its own or another's)
    // while it is told.
    for (std::size_t i = 0; i < subscriptions_.size(); ++i) {
        try {
            subscriptions_[i]->subscriber_.onRecord(record);
        } catch (...) {
        }
    }
}

void RecordSource::tellMarker() noexcept {
    for (std::size_t i = 0; i < subscriptions_.size(); ++i) {
        try {
            subscriptions_[i]->subscriber_.onMarker();
        } catch (...) {
        }
    }
}

RecordSubscription::RecordSubscription(RecordSource& source, RecordSubscriber& subscriber)
    : source_(&source), subscriber_(subscriber) {
    source.subscriptions_.push_back(this);
}

RecordSubscription::~RecordSubscription() {
    if (source_ == nullptr) return;
    auto& list = source_->subscriptions_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

}  // namespace kestrin
