#pragma once
// The address data module over a new, empty address book in a fresh folder, answering
// through a recording prompter: the base of the tests of the module and of what works on it.

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <data/dataset.h>
#include <platform/fakes.h>

#include <store/address_book.h>
#include <store/address_module.h>
#include "entry_writer.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace testsupport {

class AddressModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store::AddressBook::create(dir.path());
        module = std::make_unique<store::AddressModule>(state, prompter);
        module->setDataFolder(qpath(dir.path()));
    }

    // Entries written straight into the book, past the module's checks.
    void seed(const std::vector<Entry>& entries) { writeEntries(dir.path(), entries); }

    // Opens the address table and counts its entries, as the main window does.
    void open() {
        table().open();
        state.entryCount = table().recordCount();
    }

    data::DataSet& table() { return module->addressTable; }

    TempDir dir;
    store::ProgramState state;
    platform::FakePrompter prompter;
    std::unique_ptr<store::AddressModule> module;
};

}  // namespace testsupport
