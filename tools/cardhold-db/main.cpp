// cardhold-db: look after an address book from the command line.
//
// Every command takes the address book's folder (or, for info and check, any DBF
// file), reports a failure in one line on standard error and exits non-zero.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QCoreApplication>

#include <cardhold/version.h>
#include <platform/regular_file.h>
#include <platform/terminal.h>

#include <xbase/cursor.h>
#include <xbase/error.h>
#include <xbase/inspect.h>
#include <xbase/repair.h>

#include <store/address_book.h>
#include <store/address_rules.h>
#include <store/archive.h>
#include <store/contacts_exchange.h>
#include <store/contacts_sync.h>
#include "contacts_text.h"  // the table text conversion of the contacts library

namespace {

namespace fs = std::filesystem;

// The usage text, one row per command: a new command adds its row here.
struct CommandHelp {
    std::string_view synopsis;
    std::string_view summary;
};

constexpr CommandHelp kCommands[] = {
    {"info DIR|FILE.DBF", "header, fields, tags and counts"},
    {"check DIR|FILE.DBF", "verify every tag and memo; exit 1 on any fault"},
    {"list DIR [--names]", "entries in name order (--names: names only)"},
    {"reindex DIR|FILE.DBF",
     "rebuild every index tag, also when the index file cannot be read; exit 1 when a tag "
     "cannot be rebuilt"},
    {"repair DIR|FILE.DBF",
     "copy the files into DIR/damaged-YYYYMMDD-HHMMSS, then mend the table and memo file and "
     "rebuild the index; prints what was lost, exit 1 when not sound afterwards"},
    {"pack DIR", "remove deleted entries, compact the memos, reindex"},
    {"backup DIR",
     "bring the backup archive DIR/MGdata.zip up to date with the table and memo files, as "
     "file maintenance does; prints what it added, refreshed or left alone"},
    {"add DIR NAME [MEMO]", "add an entry"},
    {"rename DIR OLD NEW", "rename the first entry named OLD"},
    {"set-memo DIR NAME TEXT", "replace the memo of the first entry named NAME"},
    {"delete DIR NAME", "delete the first entry named NAME"},
    {"generate N DIR", "make a new address book of N sample entries in DIR"},
    {"import DIR FILE...",
     "add the contacts of vCard and CSV files, making the address book when there is none; "
     "prints a report"},
    {"export DIR FILE [--vcard4] [--names NAME...]",
     "write entries (all, or those named) to FILE.vcf (vCard 3.0, or 4.0) or FILE.csv; "
     "prints a report"},
    {"sync DIR URL --user NAME [--password-file FILE] [--allow-http]",
     "two-way sync with a CardDAV address book; the password from FILE, CARDHOLD_PASSWORD or "
     "the terminal"},
};

constexpr std::string_view kUsageHead =
    "usage: cardhold-db COMMAND ARGUMENTS\n"
    "       cardhold-db --help | --version\n"
    "\n";

constexpr std::string_view kUsageNotes =
    "\n"
    "DIR is the folder that holds ADDRESS.DBF. In MEMO and TEXT, \\n starts a new\n"
    "line. import and export exit 1 when nothing could be read or written.\n";

// The commands in two columns: the synopsis, then its summary folded into lines of at
// most 79 characters. A synopsis too wide for its column puts the summary below it.
std::string usageText() {
    constexpr size_t kSummaryColumn = 28;
    constexpr size_t kWidth = 79;
    std::string text(kUsageHead);
    for (const CommandHelp& command : kCommands) {
        std::string line = "  " + std::string(command.synopsis);
        if (line.size() >= kSummaryColumn) {
            text += line + '\n';
            line.clear();
        }
        line.resize(kSummaryColumn, ' ');
        for (std::string_view rest = command.summary; !rest.empty();) {
            const size_t space = rest.find(' ');
            const std::string_view word = rest.substr(0, space);
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
            if (line.size() > kSummaryColumn) {
                if (line.size() + 1 + word.size() > kWidth) {
                    text += line + '\n';
                    line.assign(kSummaryColumn, ' ');
                } else {
                    line += ' ';
                }
            }
            line += word;
        }
        text += line + '\n';
    }
    text += kUsageNotes;
    return text;
}

struct UsageError {
    std::string message;
};

// Whether `text` is well-formed UTF-8 (overlong forms and surrogates refused).
bool isUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// Names, memos and everything else read from a file, made safe for a terminal: control
// characters (below 32 but tab and line feed, DEL, and the C1 range) are shown as \xNN, so
// a memo cannot clear the screen, set the window title or fill the clipboard. Text that is
// UTF-8 keeps its characters and loses its C1 controls; other text (a table's code page)
// loses the C1 bytes.
std::string visible(std::string_view text) {
    const bool utf8 = isUtf8(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = utf8 ? c == 0xC2 && i + 1 < text.size() &&
                                   static_cast<unsigned char>(text[i + 1]) < 0xA0
                             : c >= 0x80 && c < 0xA0;
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F || c1) {
            const size_t width = utf8 && c1 ? 2 : 1;
            for (size_t k = 0; k < width; ++k) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02X",
                              static_cast<unsigned char>(text[i + k]));
                out += escape;
            }
            i += width - 1;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// A DIR argument names the address book's folder; a file argument names a table.
fs::path tablePathOf(const std::string& argument) {
    fs::path path(argument);
    std::error_code ec;
    if (fs::is_directory(path, ec)) return store::AddressBook::tablePath(path);
    return path;
}

fs::path folderOf(const std::string& argument) {
    std::error_code ec;
    if (!fs::is_directory(argument, ec))
        throw xbase::Error(xbase::ErrorKind::NotFound, xbase::code::FileNotFound,
                           "No such folder: " + argument);
    return fs::path(argument);
}

// Memo lines are stored with CR LF, as the desktop program writes them.
std::string memoFromArgument(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += "\r\n";
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// A command-line argument (UTF-8) as the table's code page stores it. A text the code page
// cannot hold is refused, as the window refuses it, rather than stored as other letters.
std::string tableBytes(store::TableText& text, std::string_view argument) {
    if (!isUtf8(argument)) throw std::runtime_error(visible(argument) + " is not UTF-8 text");
    const store::TableText::Encoded encoded =
        text.encode(QString::fromUtf8(argument.data(), static_cast<qsizetype>(argument.size())));
    if (!encoded.replaced.isEmpty()) {
        QStringList lacking;
        for (const QString& change : encoded.replaced)
            lacking << change.section(QStringLiteral(" → "), 0, 0);
        throw std::runtime_error("the address book's code page cannot hold " +
                                 lacking.join(QStringLiteral(" ")).toStdString() + " in " +
                                 visible(argument));
    }
    return encoded.bytes;
}

// Text from the table as UTF-8 for the terminal.
std::string terminalText(store::TableText& text, std::string_view bytes) {
    return text.decode(bytes).toStdString();
}

std::string versionName(uint8_t version) {
    switch (version) {
        case 0x03:
            return "dBASE III / FoxPro, no memo";
        case 0x30:
        case 0x31:
        case 0x32:
            return "Visual FoxPro";
        case 0x83:
            return "dBASE III with memo";
        case 0x8B:
            return "dBASE IV with memo";
        case 0xF5:
            return "FoxPro 2.x with memo";
        default:
            return "other";
    }
}

int commandInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"info takes one folder or table"};
    const xbase::TableSummary s = xbase::describeTable(tablePathOf(args[0]));
    std::printf("table        %s\n", visible(s.path.string()).c_str());
    std::printf("version      0x%02X (%s)\n", s.version, versionName(s.version).c_str());
    std::printf("last update  %s\n", s.lastUpdate.empty() ? "-" : s.lastUpdate.toDisplay().c_str());
    std::printf("records      %u (%u deleted)\n", s.recordCount, s.deletedCount);
    std::printf("header       %u bytes, records %u bytes\n", s.headerLength, s.recordLength);
    std::printf("flags        0x%02X%s\n", s.tableFlags,
                (s.tableFlags & 1) ? " (structural index)" : "");
    const int codePage = xbase::codePageFromMark(s.codePageMark);
    std::printf("code page    0x%02X (%s)\n", s.codePageMark,
                codePage ? std::to_string(codePage).c_str() : "not marked");
    std::printf("fields\n");
    for (const auto& f : s.fields)
        std::printf("  %-10s %s %3d %d\n", visible(f.name).c_str(),
                    visible(std::string(1, f.type)).c_str(), f.length, f.decimals);
    if (!s.memoPath.empty())
        std::printf("memo file    %s, blocks of %u, next free %u\n",
                    visible(s.memoPath.filename().string()).c_str(), s.memoBlockSize,
                    s.memoNextFree);
    if (!s.indexPath.empty())
        std::printf("index file   %s\n", visible(s.indexPath.filename().string()).c_str());
    for (const auto& t : s.tags) {
        std::printf("  tag %-10s %-30s key %d, %llu keys%s%s\n", visible(t.name).c_str(),
                    visible(t.keyExpression).c_str(), t.keyLength,
                    static_cast<unsigned long long>(t.keyCount),
                    t.forExpression.empty() ? "" : visible(", for " + t.forExpression).c_str(),
                    t.problem.empty() ? "" : visible(" (" + t.problem + ")").c_str());
    }
    return 0;
}

int commandCheck(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"check takes one folder or table"};
    const xbase::CheckReport report = xbase::checkTable(tablePathOf(args[0]));
    for (const auto& line : report.faults) std::printf("fault: %s\n", visible(line).c_str());
    std::printf("%s: %u records, %u memos, %llu index keys checked\n",
                report.ok() ? "ok" : "FAULTY", report.recordsChecked, report.memosChecked,
                static_cast<unsigned long long>(report.keysChecked));
    return report.ok() ? 0 : 1;
}

int commandList(const std::vector<std::string>& args) {
    bool namesOnly = false;
    std::vector<std::string> rest;
    for (const auto& a : args) {
        if (a == "--names")
            namesOnly = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 1) throw UsageError{"list takes one folder"};
    store::AddressBook book(folderOf(rest[0]));
    xbase::Cursor& table = book.table();
    const int nameField = table.requireField(store::kNameField);
    const int infoField = table.requireField(store::kInfoField);
    const int dateField = table.requireField(store::kLastDateField);
    store::TableText text(table.codePage());
    for (table.first(); !table.eof(); table.next()) {
        const std::string name = terminalText(text, table.text(nameField));
        if (namesOnly) {
            std::printf("%s\n", visible(name).c_str());
            continue;
        }
        const xbase::Date date = table.date(dateField);
        std::printf("%s  [%s]\n", visible(name).c_str(),
                    date.empty() ? "no date" : date.toDisplay().c_str());
        const std::string memo = terminalText(text, table.memo(infoField));
        size_t start = 0;
        while (start < memo.size()) {
            size_t end = memo.find('\r', start);
            if (end == std::string::npos) end = memo.size();
            std::printf("    %s\n", visible(memo.substr(start, end - start)).c_str());
            start = end + 1;
            if (start < memo.size() && memo[start] == '\n') ++start;
        }
    }
    return 0;
}

int commandPack(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"pack takes one folder"};
    xbase::Cursor table;
    xbase::OpenOptions options;
    options.mode = xbase::ShareMode::Exclusive;
    table.open(tablePathOf(args[0]), options);
    const uint32_t before = table.physicalRecordCount();
    table.pack();
    std::printf("packed: %u records, %u removed\n", table.physicalRecordCount(),
                before - table.physicalRecordCount());
    return 0;
}

// One line for what the archive did with a data file.
void printArchived(const store::AddResult& result) {
    const std::string file = visible(result.file.filename().string());
    switch (result.outcome) {
        case store::AddOutcome::Added:
            std::printf("added %s\n", visible(result.entryName).c_str());
            break;
        case store::AddOutcome::Refreshed:
            std::printf("refreshed %s\n", visible(result.entryName).c_str());
            break;
        case store::AddOutcome::Unchanged:
            std::printf("left alone %s: unchanged since the last backup\n",
                        visible(result.entryName).c_str());
            break;
        case store::AddOutcome::NotFound:
            if (!file.empty()) std::printf("skipped %s: not found\n", file.c_str());
            break;
        case store::AddOutcome::NotRegularFile:
            std::printf("skipped %s: not an ordinary file\n", file.c_str());
            break;
        case store::AddOutcome::Hidden:
            std::printf("skipped %s: a hidden file\n", file.c_str());
            break;
    }
}

// The archive step of file maintenance. The table stays open in shared use meanwhile, so
// that no other program can pack or rebuild it while its files are read.
int commandBackup(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"backup takes one folder"};
    const fs::path folder = folderOf(args[0]);
    xbase::Cursor table;
    xbase::OpenOptions options;
    options.readOnly = true;
    table.open(store::AddressBook::tablePath(folder), options);
    std::optional<fs::path> memoFile;
    if (table.hasMemoFile()) memoFile = table.memoPath();
    const store::ArchiveRun run =
        store::archiveDataFiles(store::backupArchivePath(folder), table.path(), memoFile);
    printArchived(run.table);
    if (memoFile) printArchived(run.memo);
    std::printf("backup archive: %s\n", visible(run.archive.string()).c_str());
    return 0;
}

void printLostTags(const xbase::IndexRebuild& index) {
    for (const auto& tag : index.lostTags)
        std::printf("cannot rebuild tag %s: %s\n",
                    tag.name.empty() ? "(unnamed)" : visible(tag.name).c_str(),
                    visible(tag.reason).c_str());
}

// A folder is an address book, whose ADDRESS tag is known even when its index is not.
int commandReindex(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"reindex takes one folder or table"};
    std::error_code ec;
    const xbase::IndexRebuild index = fs::is_directory(args[0], ec)
                                          ? store::rebuildAddressIndex(args[0])
                                          : xbase::rebuildIndex(args[0]);
    if (!index.indexProblem.empty())
        std::printf("the index could not be read: %s\n", visible(index.indexProblem).c_str());
    printLostTags(index);
    std::printf("reindexed: %zu tags over %u records\n", index.rebuiltTags.size(),
                index.recordCount);
    return index.complete() ? 0 : 1;
}

int commandRepair(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"repair takes one folder or table"};
    std::error_code ec;
    xbase::RepairReport report;
    const bool folder = fs::is_directory(args[0], ec);
    const fs::path table = folder ? store::AddressBook::tablePath(args[0]) : fs::path(args[0]);
    if (folder) {
        report = store::repairAddressBook(args[0]);
    } else {
        report = xbase::repairTable(table);
    }
    std::printf("copied the files as they were to %s\n",
                visible(report.copyFolder.string()).c_str());
    // The lines quote entry names as the table stores them, in its code page.
    store::TableText text(xbase::codePageFromMark(xbase::describeTable(table).codePageMark));
    for (const auto& line : report.changes)
        std::printf("%s\n", visible(terminalText(text, line)).c_str());
    for (const auto& line : report.remainingFaults)
        std::printf("still faulty: %s\n", visible(line).c_str());
    std::printf("%s: %u entries, %zu index tags\n", report.sound() ? "repaired" : "NOT REPAIRED",
                report.index.recordCount, report.index.rebuiltTags.size());
    return report.sound() ? 0 : 1;
}

int commandEdit(const std::string& command, const std::vector<std::string>& args) {
    const bool add = command == "add";
    const size_t wanted = command == "delete" ? 2 : 3;
    if (args.size() != wanted && !(add && args.size() == 2)) {
        throw UsageError{add ? "add takes a folder, a name and an optional memo"
                         : command == "rename"
                             ? "rename takes a folder, the old name and the new name"
                         : command == "set-memo" ? "set-memo takes a folder, a name and the text"
                                                 : "delete takes a folder and a name"};
    }
    store::AddressBook book(folderOf(args[0]));
    store::TableText text(book.table().codePage());
    const std::string name = tableBytes(text, args[1]);
    try {
        if (add) {
            book.add(name, args.size() == 3 ? tableBytes(text, memoFromArgument(args[2]))
                                            : std::string());
        } else if (command == "rename") {
            book.rename(name, tableBytes(text, args[2]));
        } else if (command == "set-memo") {
            book.setMemo(name, tableBytes(text, memoFromArgument(args[2])));
        } else {
            book.remove(name);
        }
    } catch (const store::RuleViolation& refusal) {
        // Its text quotes the name in the table's code page.
        throw store::RuleViolation(terminalText(text, refusal.what()));
    }
    return 0;
}

int commandGenerate(const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError{"generate takes a count and a folder"};
    uint32_t count = 0;
    const std::string& n = args[0];
    auto [ptr, ec] = std::from_chars(n.data(), n.data() + n.size(), count);
    if (ec != std::errc() || ptr != n.data() + n.size() || count == 0)
        throw UsageError{"the count must be a whole number above 0"};
    fs::path folder(args[1]);
    std::error_code fsError;
    fs::create_directories(folder, fsError);
    if (fsError)
        throw xbase::Error(xbase::ErrorKind::IoError, xbase::code::CreateFailed,
                           "Cannot create folder " + folder.string() + ": " + fsError.message());
    store::GenerateOptions options;
    options.count = count;
    store::generateAddressBook(folder, options);
    std::printf("generated %u entries in %s\n", count,
                visible(store::AddressBook::tablePath(folder).string()).c_str());
    return 0;
}

int commandImport(const std::vector<std::string>& args) {
    if (args.size() < 2) throw UsageError{"import takes a folder and one or more files"};
    const std::vector<fs::path> files(args.begin() + 1, args.end());
    const store::ImportReport report = store::importContacts(fs::path(args[0]), files);
    std::printf("%s", visible(report.text()).c_str());
    return report.failed() ? 1 : 0;
}

// The password for sync, never from the command line (other users see it there): from
// a file, the environment, or asked on the terminal without echo.
std::string syncPassword(const std::optional<std::string>& file, const std::string& user,
                         const std::string& server) {
    if (file) {
        std::string text;
        try {
            text = platform::readRegularFile(*file, 64 * 1024);
        } catch (const platform::RegularFileError& e) {
            throw UsageError{std::string("the password file cannot be read: ") + e.what()};
        }
        return text.substr(0, text.find_first_of("\r\n"));  // its first line
    }
    if (const char* variable = std::getenv("CARDHOLD_PASSWORD")) return variable;
    if (auto typed = platform::readHiddenLine("Password for " + user + " at " + server + ": "))
        return *typed;
    throw UsageError{
        "no password: give --password-file FILE, set CARDHOLD_PASSWORD, or run on a terminal"};
}

int commandSync(const std::vector<std::string>& args) {
    store::SyncSettings settings;
    std::optional<std::string> passwordFile;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--user" || a == "--password-file") && i + 1 < args.size()) {
            (a == "--user" ? settings.user : passwordFile.emplace()) = args[++i];
        } else if (a == "--allow-http") {
            settings.plainHttpConfirmed = true;
        } else if (a.rfind("--password", 0) == 0) {
            throw UsageError{
                "the password never goes on the command line (other users can see it there): "
                "use --password-file FILE, CARDHOLD_PASSWORD or the terminal"};
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 2 || settings.user.empty())
        throw UsageError{"sync takes a folder, the server's address and --user NAME"};
    settings.server = rest[1];
    store::AddressBook book(folderOf(rest[0]));
    settings.password = syncPassword(passwordFile, settings.user, settings.server);

    int argc = 1;
    char program[] = "cardhold-db";
    char* argv[] = {program, nullptr};
    QCoreApplication application(argc, argv);  // the requests wait in its event loop
    store::SyncControl control;
    const bool terminal = platform::isTerminal(stderr);
    if (terminal)
        control.progress = [](const store::SyncProgress& p) {
            if (p.total > 0 && (p.done % 25 == 0 || p.done == p.total))
                std::fprintf(stderr, "\r%s %d/%d ", p.step.c_str(), p.done, p.total);
        };
    const store::SyncReport report = store::syncAddressBook(book, settings, control);
    if (terminal) std::fputs("\r\033[K", stderr);
    std::printf("%s", visible(report.text()).c_str());
    return report.failed() ? 1 : 0;
}

int commandExport(const std::vector<std::string>& args) {
    store::ExportOptions options;
    std::vector<std::string> rest;
    for (const auto& a : args) {
        if (options.names)
            options.names->push_back(a);  // everything after --names is a name
        else if (a == "--names")
            options.names.emplace();
        else if (a == "--vcard4")
            options.vcard4 = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 2) throw UsageError{"export takes a folder and a file"};
    if (!store::contactFileFormat(rest[1]))
        throw UsageError{"the export file must end in .vcf or .csv"};
    store::AddressBook book(folderOf(rest[0]));
    const store::ExportReport report = store::exportContacts(book, rest[1], options);
    std::printf("%s", visible(report.text()).c_str());
    return report.failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(usageText().c_str(), argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("cardhold-db %s\n", cardhold::kVersion);
        return 0;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command.starts_with('-')) throw UsageError{"unknown option \"" + command + "\""};
        if (command == "info") return commandInfo(args);
        if (command == "check") return commandCheck(args);
        if (command == "list") return commandList(args);
        if (command == "pack") return commandPack(args);
        if (command == "backup") return commandBackup(args);
        if (command == "reindex") return commandReindex(args);
        if (command == "repair") return commandRepair(args);
        if (command == "add" || command == "rename" || command == "set-memo" || command == "delete")
            return commandEdit(command, args);
        if (command == "generate") return commandGenerate(args);
        if (command == "import") return commandImport(args);
        if (command == "export") return commandExport(args);
        if (command == "sync") return commandSync(args);
        throw UsageError{"unknown command \"" + command + "\""};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "cardhold-db: %s (see cardhold-db --help)\n",
                     visible(e.message).c_str());
        return 2;
    } catch (const xbase::Error& e) {
        std::fprintf(stderr, "cardhold-db: %s\n", visible(e.what()).c_str());
        return 1;
    } catch (const store::RuleViolation& e) {
        std::fprintf(stderr, "cardhold-db: %s\n", visible(e.what()).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cardhold-db: %s\n", visible(e.what()).c_str());
        return 1;
    }
}
