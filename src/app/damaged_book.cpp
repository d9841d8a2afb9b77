#include <app/damaged_book.h>

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <platform/prompter.h>
#include <store/address_book.h>
#include <store/address_rules.h>
#include <xbase/inspect.h>
#include <xbase/types.h>

namespace app {

namespace {

// A repair that lost much is summed up after this many lines; `cardhold-db repair`
// prints every line.
constexpr size_t kReportLinesShown = 25;

QString shown(const std::filesystem::path& path) {
    return QFile::decodeName(path.native().c_str());
}

QString shown(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The repair's lines quote entry names as the table stores them, in its code page.
class TableLines {
  public:
    explicit TableLines(const std::filesystem::path& folder) {
        try {
            const int codePage = xbase::codePageFromMark(
                xbase::describeTable(folder / store::kTableFileName).codePageMark);
            const std::string charset = xbase::codePageCharsetName(codePage == 0 ? 1252 : codePage);
            decoder_ = QStringDecoder(charset.c_str());
        } catch (const xbase::Error&) {
        }
        if (!decoder_.isValid()) decoder_ = QStringDecoder("windows-1252");
    }
    std::vector<std::string> asUtf8(const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            decoder_.resetState();
            const QString text =
                decoder_.decode(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
            out.push_back(text.toStdString());
        }
        return out;
    }

  private:
    QStringDecoder decoder_;
};

QString linesOf(const std::vector<std::string>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size() && i < kReportLinesShown; ++i) {
        text += QStringLiteral("\r") + shown(lines[i]);
    }
    if (lines.size() > kReportLinesShown) {
        text += QStringLiteral("\r… and %1 more").arg(lines.size() - kReportLinesShown);
    }
    return text;
}

MendOutcome rebuildIndex(const xbase::Error& error, const std::filesystem::path& folder,
                         platform::Prompter& prompter) {
    const QString question =
        QStringLiteral(
            "The index file %1 is damaged. Rebuild it now?\r\r%2\r\r"
            "The index holds nothing of its own: it is built again from the entries.")
            .arg(shown(folder / store::kIndexFileName), QString::fromUtf8(error.what()));
    if (prompter.confirm(question, platform::ButtonSet::YesNo) != platform::Answer::Yes) {
        return MendOutcome::Declined;
    }
    const xbase::IndexRebuild rebuilt = store::rebuildAddressIndex(folder);
    if (!rebuilt.complete()) {
        std::vector<std::string> lost;
        for (const xbase::LostTag& tag : rebuilt.lostTags)
            lost.push_back(tag.name + ": " + tag.reason);
        prompter.warning(QStringLiteral("Some index tags could not be built again:") +
                         linesOf(lost));
    }
    return MendOutcome::Mended;
}

MendOutcome repairTable(const xbase::Error& error, const std::filesystem::path& folder,
                        platform::Prompter& prompter) {
    const QString question =
        QStringLiteral(
            "The address book in %1 is damaged:\r%2\r\r"
            "Repair it now? Its files are first copied, as they are now, into a new "
            "folder damaged-<date>-<time> inside %1. The repair keeps every entry "
            "it can read whole and clears memos that cannot be found; it lists "
            "what was lost.")
            .arg(shown(folder), QString::fromUtf8(error.what()));
    if (prompter.confirm(question, platform::ButtonSet::YesNo) != platform::Answer::Yes) {
        return MendOutcome::Declined;
    }
    const xbase::RepairReport report = store::repairAddressBook(folder);
    QString text =
        QStringLiteral("The damaged files were copied to %1.").arg(shown(report.copyFolder));
    text += report.changes.empty() ? QStringLiteral("\r\rNo entry was lost.")
                                   : QStringLiteral("\r\rWhat the repair changed:") +
                                         linesOf(TableLines(folder).asUtf8(report.changes));
    if (report.sound()) {
        prompter.information(QStringLiteral("The address book was repaired.\r\r") + text);
    } else {
        std::vector<std::string> faults = report.remainingFaults;
        for (const xbase::LostTag& tag : report.index.lostTags)
            faults.push_back(tag.name + ": " + tag.reason);
        prompter.warning(QStringLiteral("The address book could not be made sound.\r\r") + text +
                         QStringLiteral("\r\rStill damaged:") + linesOf(faults));
    }
    return MendOutcome::Mended;
}

}  // namespace

DamagedPart damagedPartOf(const xbase::Error& error) {
    if (error.kind() != xbase::ErrorKind::Corruption) return DamagedPart::None;
    switch (error.number()) {
        case xbase::code::BadIndex:
            return DamagedPart::Index;
        case xbase::code::BadTableHeader:
        case xbase::code::BadRecord:
        case xbase::code::BadMemo:
            return DamagedPart::TableOrMemo;
        default:
            return DamagedPart::None;
    }
}

MendOutcome offerToMendDamagedBook(const xbase::Error& error, const std::filesystem::path& folder,
                                   platform::Prompter& prompter) {
    switch (damagedPartOf(error)) {
        case DamagedPart::Index:
            return rebuildIndex(error, folder, prompter);
        case DamagedPart::TableOrMemo:
            return repairTable(error, folder, prompter);
        case DamagedPart::None:
            break;
    }
    return MendOutcome::NotOffered;
}

}  // namespace app
