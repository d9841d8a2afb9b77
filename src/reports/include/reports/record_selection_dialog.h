#pragma once
// The dialog that asks which entries go into a report: the one current entry, a name
// range, the selected rows, or all entries the grid shows; with or without memos, laid
// out for paper or for text output. A new dialog is made for every report, so it always
// opens with its defaults.

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class Shell;
}

namespace reports {

// The selection kinds: selectionGroup's item indexes.
enum SelectionKind : int { kCurrent = 0, kRange = 1, kSelected = 2, kAll = 3 };

// The help page about reports that helpLink opens.
inline constexpr char kReportHelpPage[] = "reports.html";

// The explanation shown in the dialog, one entry per line.
QStringList recordSelectionExplanation();

// Where the dialog leaves its answers.
struct RecordSelection {
    SelectionKind& kind;  // set by OK
    bool& includeMemo;    // set as the dialog opens and as its box is ticked
    bool& textFormat;     // the report's text-format flag
};

class RecordSelectionDialog : public QDialog {
    Q_OBJECT
  public:
    RecordSelectionDialog(RecordSelection answers, platform::Shell& shell,
                          QWidget* parent = nullptr);

    // Controls; each keeps its form's name as its object name (docs/windows.md).

    QGroupBox* selectionGroup = nullptr;
    QButtonGroup* selectionItems = nullptr;  // selectionGroup's radio buttons by item index
    QCheckBox* includeMemoCheck = nullptr;
    QCheckBox* textFormatCheck = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* explanationCaption = nullptr;
    QPlainTextEdit* explanationText = nullptr;
    QLabel* helpLinkLead = nullptr;
    QLabel* helpLink = nullptr;
    QLabel* helpLinkTail = nullptr;

    // The chosen item of selectionGroup: a SelectionKind.
    int chosenKind() const;
    void chooseKind(int index);

    // What the dialog hands on, as it happens.
    void startWithMemoIncluded();
    void takeMemoChoice();
    void takeTextFormatChoice();
    void takeChosenKind();
    void showHelp();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createRangeGroup();
    void createButtons();
    void createExplanation();

    RecordSelection answers_;
    platform::Shell& shell_;
};

}  // namespace reports
