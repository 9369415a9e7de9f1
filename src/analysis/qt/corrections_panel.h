// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/correction_choices.h"
#include "analysis/corrections.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kestrin {

// Every option of the corrections beside the zone grid, typed as on the
// command line: target, targets file (Load and Save), delay, steady, AFR
// range, conditions (one a line), minimum lines, step and maximum change,
// and the target of one zone picked on the grid. A malformed entry is named
// in the command's words, and the last good options stay in force.
class CorrectionsPanel : public QWidget {
    Q_OBJECT

  public:
    explicit CorrectionsPanel(QWidget* parent);

    void setChoices(const CorrectionChoices& choices);
    const CorrectionChoices& choices() const { return choices_; }
    // The options of the latest choices that were all well formed.
    const CorrectionOptions& options() const { return options_; }
    // What is wrong with the current entries, empty when nothing.
    QString problem() const;

    // Offers the target of `zone` for typing; an empty entry takes it back
    // to the target of every zone.
    void editZoneTarget(std::int64_t zone);
    // The targets file's targets replace the zones' targets; a file that
    // cannot be read or holds a malformed line changes nothing.
    bool loadTargets(const std::string& path, std::string& problem);
    bool saveTargets(const std::string& path, std::string& problem);
    void setSummary(const QString& text);

  signals:
    // The choices changed and give well-formed options.
    void optionsChanged();

  private:
    void readEntries();
    void takeZoneTarget();
    void showTargetsFile();
    void chooseTargetsFile(bool save);

    CorrectionChoices choices_;
    CorrectionOptions options_;
    std::optional<std::int64_t> zone_;
    bool filling_ = false;
    QLineEdit* txtTarget_;
    QLabel* lblTargetsFile_;
    QLineEdit* txtDelay_;
    QLineEdit* txtSteady_;
    QLineEdit* txtAfrLow_;
    QLineEdit* txtAfrHigh_;
    QPlainTextEdit* txtWhere_;
    QLineEdit* txtMinLines_;
    QLineEdit* txtStep_;
    QLineEdit* txtMaxChange_;
    QLabel* lblZoneTarget_;
    QLineEdit* txtZoneTarget_;
    QLabel* lblProblem_;
    QLabel* lblSummary_;
};

}  // namespace kestrin
