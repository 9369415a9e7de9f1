#include "analysis/qt/channel_picker.h"

#include <QCheckBox>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/log_channels.h"
#include "common/qt/latin1.h"

namespace kestrin {

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
        auto* box = new QCheckBox(Latin1(titles[i]), this);
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
