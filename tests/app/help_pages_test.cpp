// The help pages the windows open are shipped, and so is every page they link to.

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <platform/help_pages.h>

#include <links/item_chooser.h>
#include <reports/record_selection_dialog.h>

namespace {

const QDir kHelp(QStringLiteral(CARDHOLD_SOURCE_DIR "/docs/help"));

TEST(HelpPages, EveryPageTheWindowsOpenAndEveryLinkBetweenThemIsShipped) {
    for (const char* page : {platform::kMainHelpPage, links::kChooserHelpPage,
                             links::kSendToAllHelpPage, reports::kReportHelpPage}) {
        EXPECT_TRUE(kHelp.exists(QString::fromLatin1(page))) << page;
    }
    const QRegularExpression link(QStringLiteral("href=\"([^\":#]+)\""));
    for (const QString& name : kHelp.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile page(kHelp.filePath(name));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString text = QString::fromUtf8(page.readAll());
        for (const QRegularExpressionMatch& match : link.globalMatch(text)) {
            EXPECT_TRUE(kHelp.exists(match.captured(1)))
                << name.toStdString() << " links to " << match.captured(1).toStdString();
        }
    }
}

}  // namespace
