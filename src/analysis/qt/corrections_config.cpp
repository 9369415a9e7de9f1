// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/corrections_config.h"

#include <QSettings>

#include "common/qt/latin1.h"
#include "port/qt/port_config.h"

namespace kestrin {

namespace {

constexpr const char* kSection = "corrections";

}  // namespace

CorrectionChoices LoadCorrectionChoices() {
    QSettings settings(KestrinConfPath(), QSettings::IniFormat);
    // A damaged file may have been read in part: none of it is trusted.
    if (settings.status() != QSettings::NoError) return {};
    std::map<std::string, std::string> entries;
    settings.beginGroup(kSection);
    for (const QString& key : settings.childKeys())
        entries[Bytes(key)] = Bytes(settings.value(key).toString());
    settings.endGroup();
    return ChoicesFromEntries(entries);
}

void SaveCorrectionChoices(const CorrectionChoices& choices) {
    QSettings settings(KestrinConfPath(), QSettings::IniFormat);
    settings.beginGroup(kSection);
    for (const auto& [key, value] : ChoiceEntries(choices))
        settings.setValue(Latin1(key), Latin1(value));
    settings.endGroup();
}

}  // namespace kestrin
