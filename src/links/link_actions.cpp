#include <links/link_actions.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include <exception>
#include <span>
#include <vector>

#include <links/item_chooser.h>
#include <platform/phone_dialer.h>
#include <platform/prompter.h>
#include <platform/shell.h>

namespace links {
namespace {

QStringList toStrings(const std::vector<std::string>& texts, EntryContext& entry) {
    QStringList strings;
    strings.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts) strings << entry.fromTableText(text);
    return strings;
}

bool endsWithLineBreak(const QString& text) {
    return text.endsWith(u'\n') || text.endsWith(u'\r');
}

QString lineBreakOf(const QString& text) {
    const qsizetype lineFeed = text.indexOf(u'\n');
    if (lineFeed < 0) return text.contains(u'\r') ? QStringLiteral("\r") : QStringLiteral("\n");
    return lineFeed > 0 && text[lineFeed - 1] == u'\r' ? QStringLiteral("\r\n")
                                                       : QStringLiteral("\n");
}

}  // namespace

QString itemLabel(ItemKind kind) {
    switch (kind) {
        case ItemKind::Email:
            return QStringLiteral("Email");
        case ItemKind::Phone:
            return QStringLiteral("Phone");
        case ItemKind::Web:
            return QStringLiteral("WebSite");
        case ItemKind::File:
            return QStringLiteral("File");
    }
    return {};
}

QString lineAddition(const QString& memo, const QString& line) {
    const QString lineBreak = lineBreakOf(memo);
    // After a final line break the line takes the empty last line; otherwise it goes
    // below the last line, which then gets its line break.
    if (memo.isEmpty() || endsWithLineBreak(memo)) return line + lineBreak;
    return lineBreak + line;
}

QString withHomeExpanded(const QString& path) {
    if (path == u'~') return QDir::homePath();
    if (path.startsWith(QLatin1String("~/"))) return QDir::homePath() + path.mid(1);
    return path;
}

QString mailtoUri(const QStringList& recipients, bool blindCopies) {
    // Within an address RFC 6068 allows the unreserved characters, which are never encoded,
    // and these delimiters; "," would start another recipient.
    static const QByteArray allowed = QByteArrayLiteral("!$'()*+;:@");
    QStringList encoded;
    for (const QString& recipient : recipients)
        encoded << QString::fromLatin1(recipient.toUtf8().toPercentEncoding(allowed));
    return QStringLiteral("mailto:") + (blindCopies ? QStringLiteral("?bcc=") : QString()) +
           encoded.join(u',');
}

LinkActions::LinkActions(EntryContext& entry, ItemChooser& chooser, platform::Prompter& prompter,
                         platform::Shell& shell, platform::PhoneDialer& dialer)
    : entry_(entry), chooser_(chooser), prompter_(prompter), shell_(shell), dialer_(dialer) {}

std::string LinkActions::scanText(const QString& text) {
    try {
        return entry_.toTableText(text);
    } catch (const std::exception&) {
        // Unsaved memo text may hold characters the table cannot store. The rules look
        // only at ASCII, so each such character stands in as "?" and the rest is scanned.
        std::string bytes;
        bytes.reserve(static_cast<std::size_t>(text.size()));
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype length =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                    ? 2
                    : 1;
            try {
                bytes += entry_.toTableText(text.mid(i, length));
            } catch (const std::exception&) {
                bytes += '?';
            }
            i += length - 1;
        }
        return bytes;
    }
}

int LinkActions::collectItems(ItemKind kind) {
    const bool fromWrappedLines = kind == ItemKind::Phone || kind == ItemKind::Email;
    std::vector<std::string> lines;
    for (const QString& line : entry_.memoLines(fromWrappedLines)) lines.push_back(scanText(line));
    const std::span<const std::string> scanned(lines);
    const std::span<const std::string> none;
    const std::string name = fromWrappedLines ? scanText(entry_.entryName()) : std::string();
    const CollectedItems found = links::collectItems(kind, name, fromWrappedLines ? scanned : none,
                                                     fromWrappedLines ? none : scanned);
    chooser_.setItems(toStrings(found.items, entry_), found.showContext,
                      toStrings(found.linesBefore, entry_), toStrings(found.itemLines, entry_));
    return static_cast<int>(found.items.size());
}

bool LinkActions::choose(int count, ItemKind kind, QString& item) {
    if (!chooser_.choose(count, kind)) return false;
    item = chooser_.answerEdit->text();
    return true;
}

void LinkActions::sendEmail() {
    chooser_.sendAsBccCheck->setChecked(false);
    chooser_.sendAsBccCheck->hide();
    chooser_.sendAsBccCheck->setEnabled(false);
    const int count = collectItems(ItemKind::Email);
    if (count > 1) chooser_.sendAsBccCheck->show();

    QString item;
    if (!choose(count, ItemKind::Email, item)) return;

    // With "send to all", every address found in list order; what the combo box shows
    // plays no part.
    const bool toAll = count >= 2 && chooser_.optionCheck->isChecked();
    shell_.openUrl(toAll ? mailtoUri(chooser_.items(), chooser_.sendAsBccCheck->isChecked())
                         : mailtoUri({item}));

    if (count == 0) addItemToEntry(ItemKind::Email, item);
}

void LinkActions::dialPhone() {
    const int count = collectItems(ItemKind::Phone);
    QString item;
    if (!choose(count, ItemKind::Phone, item)) return;
    dialer_.dialNumber(item, entry_.entryName());
    // Offered whatever became of the call: the number was typed and may be worth keeping.
    if (count == 0) addItemToEntry(ItemKind::Phone, item);
}

void LinkActions::visitWebAddress() {
    const int count = collectItems(ItemKind::Web);
    QString item;
    if (!choose(count, ItemKind::Web, item)) return;
    // Handed over as written; the shell gives a bare "www." address its http://.
    shell_.openUrl(item);
    if (count == 0) addItemToEntry(ItemKind::Web, item);
}

void LinkActions::openFile() {
    const int count = collectItems(ItemKind::File);
    QString item;
    if (!choose(count, ItemKind::File, item)) return;
    const QString path = withHomeExpanded(item);
    const QFileInfo file(path);
    if (item.isEmpty() || !file.exists() || file.isDir()) {
        prompter_.error(QStringLiteral("File ") + item + QStringLiteral(" does NOT exist"));
        return;
    }
    // The shell asks before it starts a program or a launcher.
    shell_.openFile(path);
    if (count == 0) addItemToEntry(ItemKind::File, item);
}

void LinkActions::addItemToEntry(ItemKind kind, const QString& item) {
    if (prompter_.confirm(QStringLiteral("Add ") + item + QStringLiteral(" to entry?"),
                          platform::ButtonSet::OkCancel) != platform::Answer::Ok) {
        return;
    }
    const QString line = itemLabel(kind) + QStringLiteral(": ") + item;
    // A line the table's code page cannot hold is refused here, before the entry is
    // touched, with the converter's message naming the characters.
    entry_.toTableText(line);

    entry_.focusMemo();
    entry_.editEntry();
    entry_.appendToMemo(lineAddition(entry_.memoText(), line));
    if (!entry_.postEntry()) return;
    entry_.focusGrid();
}

}  // namespace links
