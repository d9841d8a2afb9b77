#include <platform/save_file_dialog.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <fstream>

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "test_paths.h"

namespace {

// Chooses `name` in `folder` and presses Save; `answer` is given to a question if one comes.
// Returns the question's text, empty when none was asked, and whether the dialog accepted.
std::pair<QString, bool> save(const std::filesystem::path& folder, const QString& name,
                              QMessageBox::StandardButton answer) {
    platform::SaveFileDialog dialog(nullptr, QStringLiteral("Save Report"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(testsupport::qpath(folder));
    dialog.selectFile(name);
    QString asked;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        answering.stop();
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        asked = box->text();
        box->button(answer)->click();
    });
    answering.start(5);
    static_cast<QDialog&>(dialog).accept();
    return {asked, dialog.result() == QDialog::Accepted};
}

TEST(SaveFileDialog, AsksBeforeReplacingAFileWithItsNameAsItIs) {
    testsupport::TempDir dir;
    const std::string name = "<b>Tom &amp; Jerry.txt";  // no "/": file names cannot hold one
    std::ofstream(dir.path() / name) << "kept";

    const auto [refusedText, refusedAccepted] =
        save(dir.path(), QString::fromStdString(name), QMessageBox::No);
    EXPECT_EQ(refusedText, QStringLiteral("<b>Tom &amp; Jerry.txt already exists.\n"
                                          "Do you want to replace it?"));
    EXPECT_FALSE(refusedAccepted);

    const auto [agreedText, agreedAccepted] =
        save(dir.path(), QString::fromStdString(name), QMessageBox::Yes);
    EXPECT_FALSE(agreedText.isEmpty());
    EXPECT_TRUE(agreedAccepted);

    const auto [newText, newAccepted] =
        save(dir.path(), QStringLiteral("new.txt"), QMessageBox::No);
    EXPECT_TRUE(newText.isEmpty());
    EXPECT_TRUE(newAccepted);
}

}  // namespace
