// Window titles as an X server has them. The desktop's title is what Qt hands to the
// server, which may differ from windowTitle() (Qt appends the application display name
// when one is set), so this program starts its own Xvfb and reads each window's name there.

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <platform/prompter.h>

#include <info/entry_info_dialog.h>
#include <info/find_dialog.h>
#include <links/item_chooser.h>
#include <store/search_filter.h>
#include "app_fixture.h"
#include "private_settings.h"
#include "when_shown.h"
#include "x_server.h"

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return found;
}

QString property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name) {
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (reply == nullptr) return QStringLiteral("(no reply)");
    const QString text = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                           xcb_get_property_value_length(reply));
    free(reply);
    return text;
}

// The window's name on the server: _NET_WM_NAME, which desktops show, and the older
// WM_NAME (what `xdotool getwindowname` reads), when the two agree.
std::string nameOnServer(const QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return "(not on X11)";
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const QString modern = property(connection, id, atom(connection, "_NET_WM_NAME"));
    const QString old = property(connection, id, XCB_ATOM_WM_NAME);
    return (modern == old ? modern : modern + QStringLiteral(" / ") + old).toStdString();
}

class WindowTitles : public ::testing::Test {
  protected:
    void start(const QStringList& arguments = {}) {
        apptest::writeEntries(launch.cwd.path(), {"Adams"});
        if (!arguments.isEmpty()) {
            std::filesystem::create_directory(launch.cwd / "family");
            apptest::writeEntries(launch.cwd / "family", {"Adams"});
        }
        launch.start(arguments);
        window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }
    app::MainWindow& window() { return launch.window(); }

    // Reads the name of the modal window `open` puts up, then closes it with `close`.
    std::string modalName(const std::function<void()>& open,
                          const std::function<void(QWidget&)>& close) {
        std::string name = "(never shown)";
        testsupport::WhenShown shown(testsupport::activeModalWindow, [&](QWidget& modal) {
            (void)QTest::qWaitForWindowExposed(&modal);
            name = nameOnServer(modal);
            close(modal);
        });
        open();
        return name;
    }

    apptest::Launch launch;
};

TEST_F(WindowTitles, MainWindowShowsTheBookWithNothingAppended) {
    start();
    EXPECT_EQ(nameOnServer(window()), "Marigold 4.5 Cardhold");
}

TEST_F(WindowTitles, MainWindowNamesTheFolderArgument) {
    start({"FAMILY"});
    EXPECT_EQ(nameOnServer(window()), "Marigold 4.5 - Family");
}

TEST_F(WindowTitles, DialogsCarryTheirOwnCaptions) {
    start();
    const auto cancelChooser = [](QWidget& dialog) {
        static_cast<links::ItemChooser&>(dialog).cancelButton->click();
    };
    EXPECT_EQ(modalName([this] { window().searchEntries(); }, cancelChooser),
              store::kSearchCaption);
    EXPECT_EQ(modalName([this] { window().dialPhone(); }, cancelChooser), "Dial Phone No.");

    info::EntryInfoDialog info(launch.module(), launch.prompter, launch.shell, nullptr, &window());
    info.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&info));
    EXPECT_EQ(nameOnServer(info), info::kInfoCaption);
    info.openFindDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info.findDialog));
    EXPECT_EQ(nameOnServer(*info.findDialog), "Find");
}

TEST_F(WindowTitles, MessageBoxesAreCaptionedWithTheProgramsTitle) {
    start();
    platform::DesktopPrompter prompter(&window());
    EXPECT_EQ(modalName([&] { prompter.message("Hello"); },
                        [](QWidget& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
              "Marigold Cardhold");
}

// An X server of its own and the application set up as the program sets itself up.
class OnXServer : public ::testing::Environment {
  public:
    void SetUp() override {
        server_ = std::make_unique<testsupport::XServer>();
        ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start (scripts/install-deps.sh)";
        setenv("DISPLAY", server_->display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        if (std::getenv("XDG_RUNTIME_DIR") == nullptr && runtime_.isValid()) {
            QFile::setPermissions(runtime_.path(), QFileDevice::ReadOwner |
                                                       QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner);
            setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
        }
        static int argc = 1;
        static char name[] = "window_titles_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        app::identifyApplication();
    }
    void TearDown() override {
        application_.reset();
        server_.reset();
    }

  private:
    QTemporaryDir runtime_;
    std::unique_ptr<testsupport::XServer> server_;
    std::unique_ptr<QApplication> application_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::usePrivateSettings();
    ::testing::AddGlobalTestEnvironment(new OnXServer);
    return RUN_ALL_TESTS();
}
