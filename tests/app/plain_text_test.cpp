// Names, memos and file names come from address books others made: every window of the
// program must show them as plain text. A name read as HTML could make Qt load any file
// (<img src=/dev/zero> reads until memory runs out).

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <set>

#include <gtest/gtest.h>

#include <report_engine/report_preview.h>
#include <reports/record_selection_dialog.h>
#include "app_fixture.h"

namespace {

constexpr const char* kMarkup = "<font size=7>";

// Walks every window the program opens while it runs: each time a modal window (or the
// report preview) is up, every label showing markup is checked, and the window is
// answered, which hides it, so that the command goes on.
class WindowWalker {
  public:
    WindowWalker() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }

    void checkLabels(const QString& where) {
        for (QWidget* widget : QApplication::allWidgets()) {
            auto* label = qobject_cast<QLabel*>(widget);
            if (label == nullptr || !label->text().contains(QLatin1String(kMarkup))) continue;
            ++labelsWithMarkup;
            EXPECT_EQ(label->textFormat(), Qt::PlainText)
                << where.toStdString() << ": " << label->objectName().toStdString() << " shows "
                << label->text().toStdString();
        }
    }

    std::set<QString> windowsSeen;
    int labelsWithMarkup = 0;

  private:
    static QWidget* shownWindow() {
        if (QWidget* modal = QApplication::activeModalWidget()) return modal;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (qobject_cast<reports::ReportPreview*>(window) && window->isVisible()) return window;
        return nullptr;
    }

    void poll() {
        QWidget* window = shownWindow();
        if (window == nullptr || !window->isVisible()) return;
        if (auto* preview = qobject_cast<reports::ReportPreview*>(window);
            preview && preview->isLayingOut())
            return;
        const QString name = window->objectName().isEmpty() ? window->metaObject()->className()
                                                            : window->objectName();
        windowsSeen.insert(name);
        checkLabels(name);
        if (auto* input = qobject_cast<QInputDialog*>(window)) {
            input->setTextValue(QStringLiteral("N"));  // a new playlist from the memo
            input->accept();
        } else if (auto* range = qobject_cast<reports::RecordSelectionDialog*>(window)) {
            range->okButton->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
            dialog->reject();
        } else {
            window->close();
        }
    }

    QTimer timer_;
};

TEST(PlainText, NoWindowReadsANameMemoOrFileNameAsHtml) {
    apptest::Launch launch;
    apptest::writeEntries(launch.cwd.path(), {std::string(kMarkup) + "Bank</font>"});
    launch.start();
    app::MainWindow& window = launch.window();
    window.show();
    launch.table().edit();
    launch.table().fieldByName("INFO").setAsString(
        QStringLiteral("Phone: 555-0101 %1a</font>\r\nEmail: bank@example.com %1b</font>\r\n"
                       "www.example.com %1c</font>\r\nC:\\Music\\song.mp3 %1d</font>")
            .arg(QLatin1String(kMarkup)));
    launch.table().post();

    WindowWalker walker;
    walker.checkLabels(QStringLiteral("ZiDuv"));
    window.showEntryInformation();
    window.dialPhone();
    window.sendEmail();
    window.visitWebAddress();
    window.openFileNamedInMemo();
    window.editPlaylist();
    window.runReport();

    for (const char* name : {"Info", "BtnBottomDlg", "TrksDlg", "RecRange"})
        EXPECT_TRUE(walker.windowsSeen.count(QString::fromLatin1(name))) << name << " was not seen";
    EXPECT_GT(walker.labelsWithMarkup,
              1);  // the name in the information window, memo lines in the chooser
}

}  // namespace
