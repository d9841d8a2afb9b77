#pragma once
// The four link actions of the toolbar: send e-mail, dial, visit a web address, open a
// file. Each collects the items of its kind from the current entry, lets the user choose
// or type one in the item chooser, hands it to the desktop, and offers to add a typed
// item to the entry's memo.
//
// Engine failures (a locked record, a damaged memo file) leave the handlers as
// exceptions, for the main window's error display.

#include <QString>
#include <QStringList>

#include <string>

#include <links/memo_scanner.h>

namespace platform {
class PhoneDialer;
class Prompter;
class Shell;
}  // namespace platform

namespace links {

class ItemChooser;

// What the actions need of the current entry, the main window and the address table.
class EntryContext {
  public:
    virtual ~EntryContext() = default;

    // The current entry's NAME, as being edited while it is.
    virtual QString entryName() = 0;
    // The memo's lines as the main memo shows them, unsaved edits included: `wrapped`
    // gives them as the control breaks them on screen, otherwise from one line break to
    // the next.
    virtual QStringList memoLines(bool wrapped) = 0;

    // Text in the table's code page, one byte per character, and back. toTableText throws
    // a std::exception naming what the code page cannot hold.
    virtual std::string toTableText(const QString& text) = 0;
    virtual QString fromTableText(const std::string& bytes) = 0;

    // The steps of adding a line to the entry, in the order they are taken.
    virtual void focusMemo() = 0;
    // Puts the address table into edit mode for the current entry (an empty table starts
    // a new entry instead). Does nothing while it is already editing or inserting.
    virtual void editEntry() = 0;
    // The memo's text as the main memo shows it, and an addition at its very end. The
    // text goes in through the memo control, as if typed, so that it lands in INFO with
    // whatever else was typed and not yet saved.
    virtual QString memoText() = 0;
    virtual void appendToMemo(const QString& text) = 0;
    // Saves the entry through the address table's checks. False when a check refused the
    // save after showing its message; the entry then stays in edit.
    virtual bool postEntry() = 0;
    virtual void focusGrid() = 0;
};

// The label of a line added to the memo: "Email", "Phone", "WebSite" or "File".
QString itemLabel(ItemKind kind);

// What to append to `memo` so that `line` stands below all its lines, also when the memo
// does not end with a line break. The memo's own line break is used; LF when it has none.
QString lineAddition(const QString& memo, const QString& line);

// A file name as typed, with "~" or "~/" at its start turned into the home folder.
QString withHomeExpanded(const QString& path);

// The "mailto:" URI for these recipients, openly or all as blind copies ("mailto:?bcc=").
// An item is an address and never more: every character that has a meaning in the URI or
// that RFC 6068 does not allow there ("?", "&", "#", "%", ",", "=", blanks, non-ASCII
// letters, ...) is percent-encoded, so no item can add a header, a recipient or a body.
QString mailtoUri(const QStringList& recipients, bool blindCopies = false);

class LinkActions {
  public:
    LinkActions(EntryContext& entry, ItemChooser& chooser, platform::Prompter& prompter,
                platform::Shell& shell, platform::PhoneDialer& dialer);

    // The toolbar handlers.
    void sendEmail();
    void dialPhone();
    void visitWebAddress();
    void openFile();

    // Fills the chooser with the current entry's items of `kind` (and, for web addresses
    // and files, their memo lines) and answers how many were found.
    int collectItems(ItemKind kind);

    // Asks "Add <item> to entry?" and on OK appends "<label>: <item>" below the memo's
    // last line and saves the entry through the table's checks.
    void addItemToEntry(ItemKind kind, const QString& item);

  private:
    std::string scanText(const QString& text);
    // Shows the chooser; on OK gives the chosen item, otherwise nothing.
    bool choose(int count, ItemKind kind, QString& item);

    EntryContext& entry_;
    ItemChooser& chooser_;
    platform::Prompter& prompter_;
    platform::Shell& shell_;
    platform::PhoneDialer& dialer_;
};

}  // namespace links
