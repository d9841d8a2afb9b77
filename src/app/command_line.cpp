#include <app/command_line.h>

#include <cstdio>
#include <string_view>

#include <QCoreApplication>

#include <cardhold/version.h>
#include <platform/help_pages.h>

namespace app {

namespace {

constexpr char kUsage[] =
    "Usage: cardhold [FOLDER] [FILE.vcf]\n"
    "\n"
    "Marigold Cardhold, an address book of names and free-form notes.\n"
    "\n"
    "Opens the address book in FOLDER, a folder relative to the current one or an\n"
    "absolute path, and makes the folder and an empty address book when they are\n"
    "missing. Without FOLDER, the address book in the current folder.\n"
    "\n"
    "FILE.vcf, a vCard file, is imported into it after asking; given alone, into\n"
    "the address book in Cardhold in the home folder.\n"
    "\n"
    "  --help       print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n";

}  // namespace

std::optional<int> answerInformationRequest(int argc, char** argv) {
    if (argc != 2) return std::nullopt;
    const std::string_view request = argv[1];
    if (request == "--version") {
        std::printf("cardhold %s\n", cardhold::kVersion);
        return 0;
    }
    if (request == "--help") {
        // The help pages are found beside the executable, which only the application knows.
        const QCoreApplication application(argc, argv);
        std::fputs(kUsage, stdout);
        std::printf("Help pages: %s\n", qPrintable(platform::helpPageUrl().toLocalFile()));
        std::fputs("The command line companion: cardhold-db --help\n", stdout);
        return 0;
    }
    return std::nullopt;
}

}  // namespace app
