// The desktop keyring on a desktop that has none: each call ends and says so, nothing is
// kept anywhere else.

#include <QtGlobal>

#include <gtest/gtest.h>

#include <platform/secret_store.h>

namespace {

TEST(DesktopKeyring, WithoutASecretServiceItSaysThereIsNoKeyringAndKeepsNothing) {
    // No session bus to find a keyring on: as on a bare X server or over ssh.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/cardhold-test-bus");
    qunsetenv("XDG_CURRENT_DESKTOP");
    platform::DesktopKeyring keyring;
    EXPECT_FALSE(
        keyring.write(QStringLiteral("anna@https://dav.example.org/"), QStringLiteral("s3cret")));
    const platform::StoredSecret read =
        keyring.read(QStringLiteral("anna@https://dav.example.org/"));
    EXPECT_EQ(read.outcome, platform::StoredSecret::Outcome::NoKeyring);
    EXPECT_TRUE(read.secret.isEmpty());
}

}  // namespace
