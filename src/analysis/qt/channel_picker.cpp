// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/channel_picker.h"

#include <QCheckBox>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/log_channels.h"
#include "common/qt/latin1.h"

namespace kestrin {

namespace {

constexpr int kMaxTitleWidth = 160;

}  // namespace

ChannelPicker::ChannelPicker(QWidget* parent)
    : QGroupBox(QStringLiteral("Channels"), parent), list_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("fraChannels"));
    list_->addStretch(1);
}

void ChannelPicker::setTitles(const std::vector<std::string>& titles) {
    for (QCheckBox* box : chkChannel_) delete box;
    chkChannel_.clear();
    const std::vector<std::size_t> initial = InitialColumns(titles);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        // The title as it is, cut to a sane width with the whole of it in
        // the tooltip; an ampersand is no shortcut letter.
        const QString title = Latin1(titles[i]);
        const QString shown = fontMetrics().elidedText(title, Qt::ElideRight, kMaxTitleWidth);
        auto* box =
            new QCheckBox(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")), this);
        if (shown != title) box->setToolTip(Qt::convertFromPlainText(title, Qt::WhiteSpaceNormal));
        box->setObjectName(QStringLiteral("chkChannel_%1").arg(i));
        box->setChecked(std::find(initial.begin(), initial.end(), i) != initial.end());
        connect(box, &QCheckBox::toggled, this, &ChannelPicker::chosenChanged);
        // Above the stretch, which keeps the boxes together at the top.
        list_->insertWidget(static_cast<int>(i), box);
        chkChannel_.push_back(box);
    }
}

std::vector<std::size_t> ChannelPicker::chosenColumns() const {
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < chkChannel_.size(); ++i) {
        if (chkChannel_[i]->isChecked()) columns.push_back(i);
    }
    return columns;
}

}  // namespace kestrin
