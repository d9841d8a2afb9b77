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

// The selection kinds: RangeGroup's item indexes.
enum SelectionKind { kCurrent = 0, kRange = 1, kSelected = 2, kAll = 3 };

// The help page about reports that HomeLabel opens.
inline constexpr char kReportHelpPage[] = "reports.html";

// The explanation shown in the dialog, one entry per line.
QStringList recordSelectionExplanation();

// Where the dialog leaves its answers.
struct RecordSelection {
    int& selectionKind;      // set by OK: the main window's Tag
    int& includeMemoMarker;  // 0, or 86 to leave the memo out: the data module's Tag
    bool& textFormat;        // the report's text-format flag
};

class TRecRange : public QDialog {
    Q_OBJECT
  public:
    TRecRange(RecordSelection answers, platform::Shell& shell, QWidget* parent = nullptr);

    QGroupBox* RangeGroup = nullptr;
    QButtonGroup* RangeItems = nullptr;  // RangeGroup's radio buttons by item index
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckText = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* HomeLabel = nullptr;
    QLabel* Label3 = nullptr;

    // The chosen item of RangeGroup.
    int itemIndex() const;
    void setItemIndex(int index);

    void FormShow();
    void CheckBox1Click();
    void CheckTextClick();
    void BitBtn1Click();
    void HomeLabelClick();

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
