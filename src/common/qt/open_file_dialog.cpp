// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/qt/open_file_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "common/qt/latin1.h"
#include "common/qt/shown_name.h"

namespace kestrin {

OpenFileDialog::OpenFileDialog(const QString& title, const QStringList& filters, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmOpenFile"));
    setWindowTitle(title);
    lblFolder_ = new QLabel(this);
    lblFolder_->setObjectName(QStringLiteral("lblFolder"));
    lblFolder_->setTextFormat(Qt::PlainText);
    lstFiles_ = new QListWidget(this);
    lstFiles_->setObjectName(QStringLiteral("lstFiles"));
    txtFileName_ = new QLineEdit(this);
    txtFileName_->setObjectName(QStringLiteral("txtFileName"));
    cboFilter_ = new QComboBox(this);
    cboFilter_->setObjectName(QStringLiteral("cboFilter"));
    cboFilter_->addItems(filters);
    auto* buttons = new QDialogButtonBox(this);
    cmdOpen_ = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    cmdOpen_->setObjectName(QStringLiteral("cmdOpen"));
    QPushButton* cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFolder_);
    layout->addWidget(lstFiles_, 1);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("File &name:"), txtFileName_);
    fields->addRow(QStringLiteral("Files of &type:"), cboFilter_);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    connect(lstFiles_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openEntry(lstFiles_->row(item)); });
    connect(lstFiles_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return;
        txtFileName_->setText(ShownName(entries_[static_cast<std::size_t>(row)].name));
        typed_ = false;
    });
    connect(txtFileName_, &QLineEdit::textEdited, this, [this] { typed_ = true; });
    connect(cmdOpen_, &QPushButton::clicked, this, [this] {
        if (typed_ && !txtFileName_->text().isEmpty()) return openTyped();
        openEntry(lstFiles_->currentRow());
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cboFilter_, &QComboBox::currentIndexChanged, this, &OpenFileDialog::refresh);
    txtFileName_->setFocus();
    resize(560, 420);
}

std::optional<std::string> OpenFileDialog::choose(QWidget* parent, const QString& title,
                                                  const QStringList& filters) {
    static std::string lastFolder;
    if (lastFolder.empty()) {
        std::error_code error;
        lastFolder = std::filesystem::current_path(error).string();
        if (error) lastFolder = "/";
    }
    OpenFileDialog dialog(title, filters, parent);
    dialog.showFolder(lastFolder);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    lastFolder = dialog.folder();
    return dialog.chosenPath();
}

void OpenFileDialog::showFolder(const std::string& folder) {
    folder_ = folder;
    refresh();
}

void OpenFileDialog::refresh() {
    const std::vector<std::string> patterns = FilterPatterns(Bytes(cboFilter_->currentText()));
    const Status listed = ListFolder(folder_, patterns, entries_);
    QString where = ShownName(folder_);
    if (!listed.ok()) where += QStringLiteral(": ") + Latin1(listed.reason);
    lblFolder_->setText(where);
    lstFiles_->clear();
    for (const FolderEntry& entry : entries_)
        lstFiles_->addItem(ShownName(entry.name) +
                           (entry.folder && entry.name != ".." ? QStringLiteral("/") : QString()));
    txtFileName_->clear();
    typed_ = false;
}

void OpenFileDialog::openEntry(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return;
    const FolderEntry entry = entries_[static_cast<std::size_t>(row)];
    const std::string path = EnterPath(folder_, entry.name);
    if (entry.folder) return showFolder(path);
    chosen_ = path;
    accept();
}

void OpenFileDialog::openTyped() {
    const std::string name = QFile::encodeName(txtFileName_->text()).toStdString();
    const std::string path = name.starts_with('/') ? name : EnterPath(folder_, name);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return showFolder(path);
    chosen_ = path;
    accept();
}

}  // namespace kestrin
