#pragma once
// An empty address book in a fresh folder, with helpers to import texts into it and read
// its entries back as UTF-8.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <store/address_book.h>
#include <store/contacts_exchange.h>
#include "contacts_text.h"
#include "temp_dir.h"
#include "test_files.h"

namespace contactstest {

inline std::filesystem::path sample(const std::string& name) {
    return std::filesystem::path(CARDHOLD_TEST_DATA_DIR) / "contacts" / name;
}

inline std::string crlf(const std::string& lines) {
    std::string out;
    for (char c : lines) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

class ContactsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(folder());
        store::AddressBook::create(folder());
        book = std::make_unique<store::AddressBook>(folder());
    }

    std::filesystem::path folder() const { return dir.path() / "book"; }

    std::filesystem::path write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path path = dir / name;
        testsupport::writeBytes(path, bytes);
        return path;
    }

    store::ImportReport importText(const std::string& bytes,
                                   const std::string& name = "cards.vcf") {
        return store::importContacts(*book, {write(name, bytes)});
    }

    // Name → memo, both UTF-8 (the table holds Windows-1252).
    std::map<std::string, std::string> entries() {
        store::TableText text(book->table().codePage());
        std::map<std::string, std::string> out;
        for (const store::Entry& e : book->entries())
            out[text.decode(e.name).toStdString()] = text.decode(e.memo).toStdString();
        return out;
    }

    // Adds an entry given in UTF-8.
    void add(const std::string& name, const std::string& memo) {
        store::TableText text(book->table().codePage());
        book->add(text.encode(QString::fromStdString(name)).bytes,
                  text.encode(QString::fromStdString(memo)).bytes);
    }

    testsupport::TempDir dir;
    std::unique_ptr<store::AddressBook> book;
};

}  // namespace contactstest
