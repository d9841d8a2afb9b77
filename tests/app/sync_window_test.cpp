// "Sync…" from the grid's menu, against a real CardDAV server (Radicale on 127.0.0.1): the
// settings dialog, the keyring, a refused password, plain http, and the grid afterwards.

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <store/address_book.h>
#include <store/contacts_sync.h>

#include <app/sync_action.h>
#include <app/sync_dialog.h>
#include "app_fixture.h"
#include "radicale_server.h"
#include "when_shown.h"

namespace {

constexpr const char* kUser = "anna";
constexpr const char* kPassword = "s3cret-Pa55";

QWidget* modalNamed(const char* name) {
    QWidget* window = QApplication::activeModalWidget();
    return window != nullptr && window->objectName() == QLatin1String(name) ? window : nullptr;
}

class WindowSync : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<testsupport::RadicaleServer>(launch.cwd.path() / "server");
        server->addUser(kUser, kPassword);
    }

    // What another device put on the server: a book of its own, synced.
    void otherDeviceHas(const std::string& name) {
        const auto folder = launch.cwd.path() / "phone";
        std::filesystem::create_directories(folder);
        if (!std::filesystem::exists(store::AddressBook::tablePath(folder)))
            store::AddressBook::create(folder);
        store::AddressBook book(folder);
        book.add(name, "phone 555-0100");
        const auto report = store::syncAddressBook(book, {server->url(), kUser, kPassword});
        ASSERT_FALSE(report.failed()) << report.text();
    }

    // Right-click on the grid, "Sync…" in its menu; `inDialog` fills in the settings and
    // presses a button of the dialog. Returns the report's text ("" when none was shown).
    QString syncFromTheMenu(const std::function<void(app::SyncDialog&)>& inDialog) {
        QString reportText;
        testsupport::WhenShown menu(testsupport::activePopup, [](QWidget& popup) {
            for (QAction* action : popup.actions())
                if (action->objectName() == QLatin1String("SyncItem")) action->trigger();
            popup.close();
        });
        testsupport::WhenShown dialog(
            [] { return modalNamed("SyncDialog"); },
            [&](QWidget& window) { inDialog(static_cast<app::SyncDialog&>(window)); });
        testsupport::WhenShown report([] { return modalNamed("SyncReport"); },
                                      [&](QWidget& window) {
                                          reportText =
                                              window.findChild<QPlainTextEdit*>()->toPlainText();
                                          static_cast<QDialog&>(window).accept();
                                      });
        app::MainWindow& window = launch.window();
        const QPoint at = window.nameGrid->viewport()->rect().center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at,
                                window.nameGrid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(window.nameGrid->viewport(), &click);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !menu.seen() || dialog.seen(); }, 20'000));
        // The command runs inside the menu's handler; wait for its end.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::activeModalWidget() == nullptr && dialog.seen(); }, 60'000));
        return reportText;
    }

    static void fillIn(app::SyncDialog& dialog, const std::string& server,
                       const QString& password = QString::fromLatin1(kPassword)) {
        dialog.serverEdit->setText(QString::fromStdString(server));
        dialog.userEdit->setText(QString::fromLatin1(kUser));
        dialog.passwordEdit->setText(password);
    }

    std::vector<QString> gridNames() {
        std::vector<QString> names;
        data::DataSet& table = launch.table();
        for (int row = 0; row < table.visibleCount(); ++row)
            names.push_back(table.fieldTextAt(row, QStringLiteral("NAME")));
        return names;
    }

    apptest::Launch launch;
    std::unique_ptr<testsupport::RadicaleServer> server;
};

TEST_F(WindowSync, GoesBothWaysKeepsThePasswordInTheKeyringAndTheGridFollows) {
    otherDeviceHas("Baker, Bob");
    apptest::writeEntries(launch.cwd.path(), {"Adams, Ann"});
    launch.start();
    launch.window().show();
    // An entry still being typed is saved first, and travels too.
    launch.table().insert();
    launch.table().fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("Clark, Cy"));

    const QString first = syncFromTheMenu([&](app::SyncDialog& dialog) {
        EXPECT_TRUE(dialog.keyringNote->isHidden());
        EXPECT_TRUE(dialog.plainHttpWarning->isHidden());  // http to this machine only
        fillIn(dialog, server->url());
        dialog.syncButton->click();
    });
    EXPECT_NE(first.indexOf(QStringLiteral("2 entries sent, 1 card brought in")), -1)
        << first.toStdString();
    EXPECT_EQ(
        launch.prompter.texts(),
        std::vector<QString>{QStringLiteral("The entry being edited is saved before the sync.")});
    EXPECT_EQ(gridNames(), (std::vector<QString>{"Adams, Ann", "Baker, Bob", "Clark, Cy"}));
    EXPECT_EQ(launch.window().state.entryCount, 3);
    const QString key = app::keyringKey(QString::fromStdString(server->url()), kUser);
    EXPECT_EQ(launch.secrets.secrets().at(key), QString::fromLatin1(kPassword));

    // The next time the dialog knows the server, the user and, from the keyring, the password.
    const QString second = syncFromTheMenu([&](app::SyncDialog& dialog) {
        EXPECT_EQ(dialog.serverEdit->text().toStdString(), server->url());
        EXPECT_EQ(dialog.userEdit->text(), QString::fromLatin1(kUser));
        EXPECT_EQ(dialog.passwordEdit->text(), QString::fromLatin1(kPassword));
        dialog.syncButton->click();
    });
    EXPECT_NE(second.indexOf(QStringLiteral("3 unchanged")), -1) << second.toStdString();
    EXPECT_EQ(second.indexOf(QString::fromLatin1(kPassword)), -1);
}

TEST_F(WindowSync, ARefusedPasswordIsSaidInTheDialogAndNotKept) {
    apptest::writeEntries(launch.cwd.path(), {"Adams, Ann"});
    launch.start();
    launch.window().show();
    QString notice, passwordShown;
    int dialogs = 0;
    // The dialog comes back after the refusal; the second time it is cancelled.
    std::function<void(app::SyncDialog&)> answer = [&](app::SyncDialog& dialog) {
        if (++dialogs == 1) {
            fillIn(dialog, server->url(), QStringLiteral("wrong"));
            dialog.syncButton->click();
            return;
        }
        notice = dialog.noticeLabel->isVisible() ? dialog.noticeLabel->text() : QString();
        passwordShown = dialog.passwordEdit->text();
        dialog.cancelButton->click();
    };
    testsupport::WhenShown again(
        [&] { return dialogs == 1 ? modalNamed("SyncDialog") : nullptr; },
        [&](QWidget& window) { answer(static_cast<app::SyncDialog&>(window)); });
    const QString report = syncFromTheMenu(answer);

    EXPECT_EQ(dialogs, 2);
    EXPECT_NE(notice.indexOf(QStringLiteral("refused the user name or password")), -1)
        << notice.toStdString();
    EXPECT_TRUE(passwordShown.isEmpty());
    EXPECT_TRUE(report.isEmpty());
    EXPECT_TRUE(launch.secrets.secrets().empty());
    EXPECT_EQ(gridNames(), std::vector<QString>{"Adams, Ann"});
}

TEST_F(WindowSync, WithoutAKeyringItAsksEachTimeAndPlainHttpElsewhereIsConfirmedFirst) {
    launch.secrets.setAvailable(false);
    apptest::writeEntries(launch.cwd.path(), {"Adams, Ann"});
    launch.start();
    launch.window().show();
    launch.prompter.queueAnswer(platform::Answer::No);
    const QString report = syncFromTheMenu([&](app::SyncDialog& dialog) {
        EXPECT_TRUE(dialog.keyringNote->isVisible());
        EXPECT_FALSE(dialog.rememberCheck->isEnabled());
        fillIn(dialog, "http://192.0.2.7/dav/");
        EXPECT_TRUE(dialog.plainHttpWarning->isVisible());
        dialog.syncButton->click();
    });
    // Refused at the question: nothing was sent, nothing kept.
    EXPECT_TRUE(report.isEmpty());
    ASSERT_EQ(launch.prompter.records().size(), 1u);
    EXPECT_NE(launch.prompter.records()[0].prompt.text.indexOf(QStringLiteral("plain http")), -1);
    EXPECT_TRUE(launch.secrets.secrets().empty());

    // The server is remembered, the password is not.
    syncFromTheMenu([&](app::SyncDialog& dialog) {
        EXPECT_EQ(dialog.serverEdit->text(), QStringLiteral("http://192.0.2.7/dav/"));
        EXPECT_TRUE(dialog.passwordEdit->text().isEmpty());
        EXPECT_FALSE(dialog.syncButton->isEnabled());
        dialog.cancelButton->click();
    });
}

}  // namespace
