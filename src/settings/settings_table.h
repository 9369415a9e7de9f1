// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>

namespace kestrin {

// The settings of the unit as 2001 text slots, addressed as row * 100 + column * 5.
// Only the loader writes it.
class SettingsTable {
  public:
    static constexpr int kSize = 2001;
    // The first slot the settings file fills; the slots below it stay empty.
    static constexpr int kFirstLoaded = 100;

    static constexpr bool validIndex(long long index) { return index >= 0 && index < kSize; }

    const std::string& at(int index) const { return slots_.at(index); }
    std::string& slot(int index) { return slots_.at(index); }
    // Empties every slot from `first` to the end of the table.
    void clearFrom(int first) {
        for (int i = first; i < kSize; ++i) slots_[i].clear();
    }

  private:
    std::array<std::string, kSize> slots_{};
};

}  // namespace kestrin
