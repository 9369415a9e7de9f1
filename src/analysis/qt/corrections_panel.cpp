// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/corrections_panel.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "analysis/corrections_command.h"
#include "analysis/zone_table.h"
#include "common/qt/latin1.h"

namespace kestrin {

namespace {

QLineEdit* Entry(QWidget* parent, const char* name) {
    auto* entry = new QLineEdit(parent);
    entry->setObjectName(QLatin1String(name));
    return entry;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CorrectionsPanel::CorrectionsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fraCorrections"));
    txtTarget_ = Entry(this, "txtTarget");
    lblTargetsFile_ = Label(this, "lblTargetsFile", QString());
    lblTargetsFile_->setWordWrap(true);
    auto* cmdLoadTargets = new QPushButton(QStringLiteral("Load..."), this);
    cmdLoadTargets->setObjectName(QStringLiteral("cmdLoadTargets"));
    auto* cmdSaveTargets = new QPushButton(QStringLiteral("Save..."), this);
    cmdSaveTargets->setObjectName(QStringLiteral("cmdSaveTargets"));
    connect(cmdLoadTargets, &QPushButton::clicked, this, [this] { chooseTargetsFile(false); });
    connect(cmdSaveTargets, &QPushButton::clicked, this, [this] { chooseTargetsFile(true); });
    txtDelay_ = Entry(this, "txtDelay");
    txtSteady_ = Entry(this, "txtSteady");
    txtAfrLow_ = Entry(this, "txtAfrLow");
    txtAfrHigh_ = Entry(this, "txtAfrHigh");
    txtWhere_ = new QPlainTextEdit(this);
    txtWhere_->setObjectName(QStringLiteral("txtWhere"));
    txtWhere_->setPlaceholderText(QStringLiteral("CLT >= 70, one a line"));
    txtWhere_->setFixedHeight(3 * fontMetrics().lineSpacing() + 10);
    txtMinLines_ = Entry(this, "txtMinLines");
    txtStep_ = Entry(this, "txtStep");
    txtStep_->setPlaceholderText(QStringLiteral("none"));
    txtMaxChange_ = Entry(this, "txtMaxChange");
    lblZoneTarget_ = Label(this, "lblZoneTarget", QStringLiteral("Click a zone for its target"));
    txtZoneTarget_ = Entry(this, "txtZoneTarget");
    txtZoneTarget_->setEnabled(false);
    lblProblem_ = Label(this, "lblProblem", QString());
    lblProblem_->setWordWrap(true);
    lblProblem_->setStyleSheet(QStringLiteral("color: #c00000"));
    lblSummary_ = Label(this, "lblSummary", QString());
    lblSummary_->setWordWrap(true);

    for (QLineEdit* entry : {txtTarget_, txtDelay_, txtSteady_, txtAfrLow_, txtAfrHigh_,
                             txtMinLines_, txtStep_, txtMaxChange_})
        connect(entry, &QLineEdit::textChanged, this, &CorrectionsPanel::readEntries);
    connect(txtWhere_, &QPlainTextEdit::textChanged, this, &CorrectionsPanel::readEntries);
    connect(txtZoneTarget_, &QLineEdit::returnPressed, this, &CorrectionsPanel::takeZoneTarget);
    connect(txtZoneTarget_, &QLineEdit::editingFinished, this, &CorrectionsPanel::takeZoneTarget);

    auto* range = new QHBoxLayout;
    range->addWidget(txtAfrLow_);
    range->addWidget(Label(this, "lblAfrTo", QStringLiteral("to")));
    range->addWidget(txtAfrHigh_);
    auto* targetsButtons = new QHBoxLayout;
    targetsButtons->addWidget(cmdLoadTargets);
    targetsButtons->addWidget(cmdSaveTargets);
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(Label(this, "lblTarget", QStringLiteral("Target AFR:")), txtTarget_);
    form->addRow(Label(this, "lblTargets", QStringLiteral("Targets file:")), targetsButtons);
    form->addRow(lblTargetsFile_);
    form->addRow(lblZoneTarget_, txtZoneTarget_);
    form->addRow(Label(this, "lblDelay", QStringLiteral("Delay (lines):")), txtDelay_);
    form->addRow(Label(this, "lblSteady", QStringLiteral("Steady (lines):")), txtSteady_);
    form->addRow(Label(this, "lblAfrRange", QStringLiteral("AFR range:")), range);
    form->addRow(Label(this, "lblWhere", QStringLiteral("Conditions:")), txtWhere_);
    form->addRow(Label(this, "lblMinLinesUsed", QStringLiteral("Minimum lines:")), txtMinLines_);
    form->addRow(Label(this, "lblStep", QStringLiteral("Step (%):")), txtStep_);
    form->addRow(Label(this, "lblMaxChange", QStringLiteral("Maximum change (%):")), txtMaxChange_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addWidget(lblProblem_);
    layout->addWidget(lblSummary_);
    setChoices(choices_);
}

void CorrectionsPanel::setChoices(const CorrectionChoices& choices) {
    filling_ = true;
    txtTarget_->setText(Latin1(choices.target));
    txtDelay_->setText(Latin1(choices.delay));
    txtSteady_->setText(Latin1(choices.steady));
    const std::size_t colon = choices.afrRange.find(':');
    txtAfrLow_->setText(Latin1(choices.afrRange.substr(0, colon)));
    txtAfrHigh_->setText(colon == std::string::npos ? QString()
                                                    : Latin1(choices.afrRange.substr(colon + 1)));
    std::string where;
    for (const std::string& condition : choices.where) where += condition + "\n";
    txtWhere_->setPlainText(Latin1(where));
    txtMinLines_->setText(Latin1(choices.minLines));
    txtStep_->setText(Latin1(choices.step));
    txtMaxChange_->setText(Latin1(choices.maxChange));
    filling_ = false;
    choices_.targets = choices.targets;
    choices_.targetsFile = choices.targetsFile;
    readEntries();
}

void CorrectionsPanel::readEntries() {
    if (filling_) return;
    choices_.target = Bytes(txtTarget_->text().trimmed());
    choices_.delay = Bytes(txtDelay_->text().trimmed());
    choices_.steady = Bytes(txtSteady_->text().trimmed());
    choices_.afrRange = Bytes(txtAfrLow_->text().trimmed() + ':' + txtAfrHigh_->text().trimmed());
    choices_.where.clear();
    for (const QString& line : txtWhere_->toPlainText().split('\n')) {
        if (!line.trimmed().isEmpty()) choices_.where.push_back(Bytes(line.trimmed()));
    }
    choices_.minLines = Bytes(txtMinLines_->text().trimmed());
    choices_.step = Bytes(txtStep_->text().trimmed());
    choices_.maxChange = Bytes(txtMaxChange_->text().trimmed());
    showTargetsFile();
    if (const std::optional<std::string> problem = ApplyChoices(choices_, options_)) {
        lblProblem_->setText(Latin1(*problem));
        return;
    }
    lblProblem_->clear();
    emit optionsChanged();
}

QString CorrectionsPanel::problem() const { return lblProblem_->text(); }

void CorrectionsPanel::showTargetsFile() {
    QString text =
        QStringLiteral("%1 zones with a target of their own").arg(choices_.targets.size());
    if (!choices_.targetsFile.empty())
        text = Latin1(FileName(choices_.targetsFile)) + QStringLiteral(": ") + text;
    lblTargetsFile_->setText(text);
}

void CorrectionsPanel::editZoneTarget(std::int64_t zone) {
    zone_ = zone;
    lblZoneTarget_->setText(QStringLiteral("Target of zone %1:").arg(zone));
    const auto own = choices_.targets.find(zone);
    txtZoneTarget_->setText(own == choices_.targets.end() ? QString()
                                                          : Latin1(HundredthsAsText(own->second)));
    txtZoneTarget_->setPlaceholderText(txtTarget_->text());
    txtZoneTarget_->setEnabled(true);
    txtZoneTarget_->setFocus();
    txtZoneTarget_->selectAll();
}

void CorrectionsPanel::takeZoneTarget() {
    if (!zone_) return;
    const std::string text = Bytes(txtZoneTarget_->text().trimmed());
    std::map<std::int64_t, std::int64_t> targets = choices_.targets;
    if (text.empty()) {
        targets.erase(*zone_);
    } else {
        // Read as one line of a targets file, so that the same rules hold.
        std::int64_t zone = 0, target = 0;
        if (ParseTargetLine(std::to_string(*zone_) + " " + text, zone, target) !=
            TargetLine::Target) {
            lblProblem_->setText(
                QStringLiteral("Target of zone %1: a ratio above 0 with at most two decimals is "
                               "wanted")
                    .arg(*zone_));
            return;
        }
        targets[zone] = target;
    }
    if (targets == choices_.targets) return;
    choices_.targets = std::move(targets);
    readEntries();
}

bool CorrectionsPanel::loadTargets(const std::string& path, std::string& problem) {
    std::map<std::int64_t, std::int64_t> targets;
    if (ReadTargetsFile(path, targets, problem) != 0) return false;
    choices_.targets = std::move(targets);
    choices_.targetsFile = path;
    if (zone_) editZoneTarget(*zone_);
    readEntries();
    return true;
}

bool CorrectionsPanel::saveTargets(const std::string& path, std::string& problem) {
    const std::string text = TargetsText(choices_.targets);
    QSaveFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        problem = "cannot write " + path + ": " + file.errorString().toLocal8Bit().toStdString();
        return false;
    }
    choices_.targetsFile = path;
    readEntries();
    return true;
}

void CorrectionsPanel::chooseTargetsFile(bool save) {
    const QString start = QString::fromLocal8Bit(choices_.targetsFile);
    const QString path =
        save ? QFileDialog::getSaveFileName(this, QStringLiteral("Save Targets"), start)
             : QFileDialog::getOpenFileName(this, QStringLiteral("Load Targets"), start);
    if (path.isEmpty()) return;
    std::string problem;
    const std::string file = path.toLocal8Bit().toStdString();
    if (!(save ? saveTargets(file, problem) : loadTargets(file, problem)))
        lblProblem_->setText(Latin1(problem));
}

void CorrectionsPanel::setSummary(const QString& text) { lblSummary_->setText(text); }

}  // namespace kestrin
