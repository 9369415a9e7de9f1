// SPDX-License-Identifier: GPL-3.0-or-later
// File names that are no Latin-1 and no valid UTF-8 either, as the open
// dialog lists them and a message box shows them.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/qt/qt_message_prompt.h"
#include "common/qt/open_file_dialog.h"
#include "support/pty_pair.h"

namespace kestrin {

class FileNamesTest : public QObject {
    Q_OBJECT

  private:
    static QStringList Listed(OpenFileDialog& dialog) {
        QStringList names;
        auto* list = dialog.findChild<QListWidget*>("lstFiles");
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        return names;
    }

    // Picks an entry of the list, or types a name, and clicks Open.
    static void Choose(OpenFileDialog& dialog, const QString& shown, bool typed = false) {
        if (typed) {
            auto* name = dialog.findChild<QLineEdit*>("txtFileName");
            name->clear();
            name->insert(shown);  // as typed: QTest types only ASCII
            return dialog.findChild<QPushButton*>("cmdOpen")->click();
        }
        auto* list = dialog.findChild<QListWidget*>("lstFiles");
        const QList<QListWidgetItem*> found = list->findItems(shown, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(shown));
        list->setCurrentItem(found.front());
        dialog.findChild<QPushButton*>("cmdOpen")->click();
    }

  private slots:
    void openDialogListsAndOpensEveryNameByItsBytes() {
        test::TempDir dir;
        for (const char* name : {"Log\xff.txt", "caf\xc3\xa9.txt", "notes.csv", "sub/in.txt"}) {
            mkdir(dir.file("sub").c_str(), 0700);
            test::WriteWholeFile(dir.file(name), "x");
        }
        OpenFileDialog dialog(QStringLiteral("Open Log"),
                              {QStringLiteral("Logs (*.txt)"), QStringLiteral("All files (*)")});
        dialog.showFolder(dir.path());
        const QString bad = QStringLiteral("Log") + QChar(0xfffd) + QStringLiteral(".txt");
        const QString cafe = QStringLiteral("caf") + QChar(0xe9) + QStringLiteral(".txt");
        QCOMPARE(Listed(dialog), (QStringList{"..", "sub/", cafe, bad}));
        dialog.findChild<QComboBox*>("cboFilter")->setCurrentIndex(1);
        QCOMPARE(Listed(dialog), (QStringList{"..", "sub/", cafe, bad, "notes.csv"}));

        // Into a folder by its typed name and out again by "..", then a file picked and one typed.
        Choose(dialog, "sub", true);
        QCOMPARE(dialog.folder(), dir.file("sub"));
        Choose(dialog, "..");
        QVERIFY(dialog.folder() == dir.path() && dialog.result() == 0);
        const std::pair<QString, std::string> files[] = {{bad, dir.file("Log\xff.txt")},
                                                         {cafe, dir.file("caf\xc3\xa9.txt")}};
        for (const auto& [shown, path] : files) {
            dialog.setResult(0);
            Choose(dialog, shown, shown == cafe);
            QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
            QCOMPARE(dialog.chosenPath(), path);
        }
    }

    void messageBoxDecodesTheNameAsTheSystemDoes() {
        const struct {
            std::string name;
            QString shown;
        } cases[] = {
            {"caf\xc3\xa9.txt", QStringLiteral("caf") + QChar(0xe9) + QStringLiteral(".txt")},
            {"a\x1b[2J\nb.txt", QStringLiteral("a\\x1b[2J\\x0ab.txt")},
            {"\xff.txt", QString(QChar(0xfffd)) + QStringLiteral(".txt")},
        };
        QtMessagePrompt prompt(nullptr);
        for (const auto& c : cases) {
            QString text;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) return;
                text = box->text();
                box->accept();
            });
            // The program's own text stays Latin-1: \xb0 is the degree sign.
            (void)prompt.showAboutFile("Cannot open %1 at 20\xb0", c.name, "Kestrin",
                                       PromptButtons::Ok);
            QCOMPARE(text, QStringLiteral("Cannot open ") + c.shown + QStringLiteral(" at 20") +
                               QChar(0xb0));
        }
    }
};

}  // namespace kestrin

QTEST_MAIN(kestrin::FileNamesTest)
#include "file_names_test.moc"
