#pragma once
// An address book in a fresh folder, the data module open on it, a grid bound to it, and
// the report command with a scripted dialog and a preview that records what it was shown.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <data/grid.h>
#include <platform/fakes.h>
#include <xbase/cursor.h>

#include <report_engine/report_data_set.h>
#include <report_engine/report_error.h>
#include <report_engine/report_layout.h>
#include <reports/address_report.h>
#include <reports/record_selection_dialog.h>
#include <reports/report_command.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include "entry_writer.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace reporttest {

using testsupport::Entry;

inline std::vector<Entry> named(const std::vector<std::string>& names) {
    std::vector<Entry> entries;
    for (const std::string& name : names) entries.push_back({name, "Memo of " + name});
    return entries;
}

// What one preview was shown.
struct ShownReport {
    QStringList names;  // in the order the report walks them
    int recordCount = 0;
    reports::ReportDocument document;

    // Whether some printed line reads exactly `text`.
    bool prints(const QString& text) const {
        for (const reports::ReportPage& page : document.pages)
            for (const reports::PageText& line : page.texts)
                if (line.text == text) return true;
        return false;
    }
};

// How the scripted dialog is answered.
struct DialogAnswer {
    int kind = reports::kAll;
    bool includeMemo = true;
    bool textFormat = false;
    bool cancel = false;
};

// The dialog as it opened.
struct DialogAtOpening {
    int kind = -1;
    bool includeMemo = false;
    bool textFormat = true;
};

class ReportCommandTest : public ::testing::Test {
  protected:
    void open(const std::vector<Entry>& entries) {
        testsupport::writeEntries(folder.path(), entries);
        dm = std::make_unique<store::AddressModule>(state, prompter);
        dm->setDataFolder(testsupport::qpath(folder.path()));
        dm->addressTable.open();
        window.setWindowTitle("Marigold Cardhold - Friends");
        auto* layout = new QVBoxLayout(&window);
        grid = new data::DBGrid(&window);
        grid->setColumns({"NAME"});
        grid->setDataSource(&dm->addressSource);
        layout->addWidget(grid);
        nameList = new QPlainTextEdit(&window);
        nameList->hide();
        window.resize(320, 400);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    data::DataSet& address() { return dm->addressTable; }
    data::DataSet& copy() { return dm->reportTable; }
    QString current() { return address().fieldByName("NAME").asString(); }

    // The bookmark of the first visible row named so.
    data::Bookmark row(const QString& name) {
        for (int r = 0; r < address().visibleCount(); ++r)
            if (address().fieldTextAt(r, "NAME") == name) return address().visibleAt(r);
        ADD_FAILURE() << "no row " << name.toStdString();
        return {};
    }
    void select(const QStringList& names) {
        grid->clearSelectedRows();
        for (const QString& name : names) grid->setRowSelected(row(name), true);
    }
    void makeCurrent(const QString& name) { ASSERT_TRUE(address().gotoBookmark(row(name))); }

    // One run of the command: the dialog is answered as told, every preview recorded.
    void run(const DialogAnswer& answer) {
        reports::ReportCommand command({&window, *dm, *grid, *nameList, prompter, shell});
        command.showDialog = [&](reports::RecordSelectionDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&] {
                opened.push_back({dialog.chosenKind(), dialog.includeMemoCheck->isChecked(),
                                  dialog.textFormatCheck->isChecked()});
                if (answer.cancel) {
                    dialog.cancelButton->click();
                    return;
                }
                dialog.chooseKind(answer.kind);
                dialog.includeMemoCheck->setChecked(answer.includeMemo);
                dialog.textFormatCheck->setChecked(answer.textFormat);
                dialog.okButton->click();
            });
            return dialog.exec();
        };
        command.preview = [&](const reports::Report& report) {
            if (duringPreview) duringPreview();
            ShownReport seen;
            reports::ReportDataSet& data = *report.dataSet();
            for (data.first(); !data.atEnd(); data.next()) seen.names << data.fieldText("NAME");
            seen.recordCount = data.recordCount();
            seen.document = reports::layoutReport(report);
            shown.push_back(seen);
        };
        command.run();
        lastKind = command.selectionKind();
        lastIncludeMemo = command.includesMemo();
        lastTextFormat = command.textFormat();
    }
    void run(int kind) { run(DialogAnswer{kind}); }

    const ShownReport& last() {
        if (shown.empty()) throw std::runtime_error("no report was shown");
        return shown.back();
    }
    std::vector<QString> messages() { return prompter.texts(); }

    testsupport::TempDir folder;
    store::ProgramState state;
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    std::unique_ptr<store::AddressModule> dm;
    QWidget window;
    data::DBGrid* grid = nullptr;
    QPlainTextEdit* nameList = nullptr;

    std::vector<DialogAtOpening> opened;
    std::vector<ShownReport> shown;
    std::function<void()> duringPreview;
    reports::SelectionKind lastKind = reports::kAll;
    bool lastIncludeMemo = true;
    bool lastTextFormat = false;
};

}  // namespace reporttest
