#pragma once
// The report command behind the main window's Report Writer button: asks which entries
// to report, filters the data module's report cursor to them (or takes the main table as
// the grid shows it), previews the report, and puts the grid back on the entry that was
// current.

#include <QString>

#include <functional>
#include <string>

#include <data/dataset.h>

#include <reports/record_selection_dialog.h>

class QPlainTextEdit;
class QWidget;

namespace data {
class DBGrid;
}

namespace platform {
class Prompter;
class Shell;
}  // namespace platform

namespace store {
class AddressModule;
}

namespace reports {

class Report;

inline constexpr char kNoRangeSelected[] = "No range selected - please refer to online help";
inline constexpr char kNoRecordsSelected[] = "No records selected - please refer to Online Help";
inline constexpr char kNoRecords[] = "No records!";
// The name order tag, as the command names it.
inline constexpr char kNameOrderTag[] = "Address";

struct ReportCommandContext {
    QWidget* mainWindow = nullptr;  // owns the dialog and preview; its title heads the pages
    store::AddressModule& dataModule;
    data::DBGrid& grid;        // its selected rows make a range or a selection
    QPlainTextEdit& nameList;  // the main window's hidden staging text
    platform::Prompter& prompter;
    platform::Shell& shell;
};

class ReportCommand {
  public:
    explicit ReportCommand(ReportCommandContext context);
    // The default preview refers to this command.
    ReportCommand(const ReportCommand&) = delete;
    ReportCommand& operator=(const ReportCommand&) = delete;

    // Shows the dialog; the modal dialog unless a test drives it otherwise. Answers
    // QDialog::Accepted for OK.
    std::function<int(RecordSelectionDialog& dialog)> showDialog;
    // Shows the laid-out report and returns when the user is done; the preview window
    // unless a test looks at the report otherwise.
    std::function<void(const Report& report)> preview;

    // The whole command. Failures of the table engine or the report pass out of here
    // (for the standard error display) after the grid has been put back.
    void run();

    // The answers of the record selection dialog as it left them.
    SelectionKind selectionKind() const { return selectionKind_; }
    bool includesMemo() const { return includeMemo_; }
    bool textFormat() const { return textFormat_; }
    // A report is on show (its preview is open): a second command only brings it forward.
    static bool reportInProgress();

  private:
    bool chooseRecords();
    // Sets reportTable up for the kind; false when the grid's selection does not fit it.
    bool filterReportCopy(SelectionKind kind, const std::string& savedName);
    void produce(data::DataSet& entries);
    void returnToSavedEntry(const std::string& savedName, data::Bookmark before, quint64 epoch);
    std::string nameAt(data::Bookmark row);

    ReportCommandContext context_;
    SelectionKind selectionKind_ = kAll;
    bool includeMemo_ = true;
    bool textFormat_ = false;
};

}  // namespace reports
