// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "common/folder_listing.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrin {

// Chooses a file to open. Every file of a folder is listed whatever bytes
// its name holds, and the chosen one is given back by those bytes: a dialog
// working in QString leaves out or garbles names that are no valid UTF-8,
// and a garbled name cannot be opened. Folders are entered from the list.
// A name can be typed too, a path or one in the folder shown: as text it is
// encoded as the file system encodes names.
class OpenFileDialog : public QDialog {
    Q_OBJECT

  public:
    // `filters` as "Logs (*.txt)", the first in force.
    OpenFileDialog(const QString& title, const QStringList& filters, QWidget* parent = nullptr);

    // Asks for a file, starting in the folder of the last one chosen (at
    // first the working folder); nothing when cancelled.
    static std::optional<std::string> choose(QWidget* parent, const QString& title,
                                             const QStringList& filters);

    void showFolder(const std::string& folder);
    const std::string& folder() const { return folder_; }
    // The path of the file chosen, once accepted.
    const std::string& chosenPath() const { return chosen_; }

  private:
    void openEntry(int row);
    void openTyped();
    void refresh();

    std::string folder_;
    std::string chosen_;
    std::vector<FolderEntry> entries_;
    QLabel* lblFolder_;
    QListWidget* lstFiles_;
    QLineEdit* txtFileName_;
    // Whether the name was typed since an entry of the list was chosen.
    bool typed_ = false;
    QComboBox* cboFilter_;
    QPushButton* cmdOpen_;
};

}  // namespace kestrin
