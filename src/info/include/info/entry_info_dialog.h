#pragma once
// The extended information window: the current entry in a larger view (its name, its
// memo, which can be searched and shown in another font, the date of its last change)
// and three facts about the whole table: its last update, the number of entries and,
// while a search filter is on, the number of entries that pass it. The facts are taken
// once, when the window is shown.
//
//   info::EntryInfoDialog dialog(dataModule, prompter, shell, &fonts, mainWindow);
//   if (!mainMemo->wordWrap()) dialog.setUnwrappedMemoLook();
//   dialog.exec();

#include <QDialog>
#include <QRect>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QPushButton;

namespace data {
class DBMemo;
}

namespace platform {
class Prompter;
class Shell;
}  // namespace platform

namespace store {
class AddressModule;
}

namespace info {

class FindDialog;
class FontChooser;

inline constexpr char kInfoCaption[] = "Marigold - Extended Information";
// What an empty date shows: day 0 of the date count, 30 December 1899.
inline constexpr int kEmptyDateYear = 1899;
inline constexpr int kEmptyDateMonth = 12;
inline constexpr int kEmptyDateDay = 30;

// Where `wanted` next occurs in `text` at or after `from`, a-z compared without regard to
// case and every other character as it is; -1 when it does not.
int findForward(const QString& text, int from, const QString& wanted);

// The message when the rest of the memo does not hold the text.
QString notFoundMessage(const QString& wanted);

class EntryInfoDialog : public QDialog {
    Q_OBJECT
  public:
    // `fonts` may be null: Qt's font dialog is used then.
    EntryInfoDialog(store::AddressModule& dataModule, platform::Prompter& prompter,
                    platform::Shell& shell, FontChooser* fonts = nullptr,
                    QWidget* parent = nullptr);
    ~EntryInfoDialog() override;

    // The look of the main memo when it does not wrap: no word wrap, both scroll bars,
    // a yellow background.
    void setUnwrappedMemoLook();

    // --- Controls; each keeps its form's name as its object name (docs/windows.md).
    // A caption is fixed text; a label shows a value read from the table.
    QLabel* nameLabel;
    data::DBMemo* memoEditor;
    QLabel* lastChangeCaption;
    QLabel* lastChangeLabel;
    QLabel* databaseBanner;
    QLabel* lastUpdateCaption;
    QLabel* lastUpdateLabel;
    QLabel* entryCountCaption;
    QLabel* entryCountLabel;
    QLabel* filterCountCaption;
    QLabel* filterCountLabel;
    QPushButton* findButton;
    QPushButton* fontButton;
    QPushButton* helpButton;
    QPushButton* closeButton;
    FindDialog* findDialog;

    // --- What the user can do
    // Fills the labels from the table as it is now.
    void fillFromTable();
    void openFindDialog();
    // The next match after the memo's selection, or the message that there is none.
    void findNextInMemo();
    void returnToMemo();
    void chooseMemoFont();
    void showHelp();
    void closeWindow();

    // Closing keeps the window's size and place for the next opening.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    // Entries passing the search filter.
    int countFilteredEntries();

    store::AddressModule& dataModule_;
    platform::Prompter& prompter_;
    platform::Shell& shell_;
    std::unique_ptr<FontChooser> ownFonts_;
    FontChooser* fonts_;
    // The controls below the memo and their places at the window's first size.
    std::vector<std::pair<QWidget*, QRect>> placesBelowMemo_;
};

}  // namespace info
