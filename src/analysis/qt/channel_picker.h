// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>
#include <cstddef>
#include <string>
#include <vector>

class QCheckBox;
class QVBoxLayout;

namespace kestrin {

// The columns of a log to plot: a check box `chkChannel_<i>` for each title, the usual three
// (InitialColumns) ticked when the titles are given.
class ChannelPicker : public QGroupBox {
    Q_OBJECT

  public:
    explicit ChannelPicker(QWidget* parent);

    // Makes the boxes anew, as many as there are titles.
    void setTitles(const std::vector<std::string>& titles);
    // The ticked columns, ascending.
    std::vector<std::size_t> chosenColumns() const;

  signals:
    // The user ticked or cleared a box.
    void chosenChanged();

  private:
    QVBoxLayout* list_;
    std::vector<QCheckBox*> chkChannel_;
};

}  // namespace kestrin
