// A table made of arbitrary bytes, opened, checked, walked, sought in and written to as the
// program does. The input is the table file, then "<<FPT>>" and the memo file, then
// "<<CDX>>" and the index file; a part whose marker is missing is a file that is missing.
// The memo file goes under FoxPro's name and dBASE's.
// Damage may give the engine's error at any step, and nothing else.

#include <cstdint>
#include <string_view>

#include <xbase/cursor.h>
#include <xbase/error.h>
#include <xbase/inspect.h>

#include "memory_file_system.h"

namespace {

const std::filesystem::path kFolder = "/fuzz-table";

template <typename Step>
void attempt(Step step) {
    try {
        step();
    } catch (const xbase::Error&) {
    }
}

// A value for each field of the current record being edited.
void fill(xbase::Cursor& c, std::string_view text) {
    for (int f = 0; f < c.fieldCount(); ++f) {
        switch (c.field(f).type) {
            case 'C':
                c.setText(f, text);
                break;
            case 'M':
                c.setMemo(f, std::string(text) + std::string(200, '.'));
                break;
            case 'D':
                c.setDate(f, xbase::Date{2024, 2, 29});
                break;
            case 'N':
                c.setNumber(f, 12.5);
                break;
            case 'L':
                c.setLogical(f, true);
                break;
            default:
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t memoAt = input.find("<<FPT>>");
    const size_t indexAt = input.find("<<CDX>>");
    const auto part = [&](size_t from, size_t marker) {
        if (from == std::string_view::npos) return std::string_view();
        from += 7;
        const size_t end =
            marker != std::string_view::npos && marker >= from ? marker : input.size();
        return input.substr(std::min(from, input.size()), end - std::min(from, end));
    };
    static fuzzing::MemoryFileSystem files;
    files.clear();
    const auto dbf = kFolder / "ADDRESS.DBF";
    files.put(dbf, std::string(input.substr(0, std::min({memoAt, indexAt, input.size()}))));
    if (memoAt != std::string_view::npos) {  // under both names: FoxPro's and dBASE's
        files.put(kFolder / "ADDRESS.fpt", std::string(part(memoAt, indexAt)));
        files.put(kFolder / "ADDRESS.dbt", std::string(part(memoAt, indexAt)));
    }
    if (indexAt != std::string_view::npos)
        files.put(kFolder / "ADDRESS.CDX", std::string(part(indexAt, memoAt)));

    xbase::checkTable(dbf, &files);
    {
        xbase::Cursor c;
        xbase::OpenOptions options;
        options.fileSystem = &files;
        attempt([&] { c.open(dbf, options); });
        if (c.isOpen()) {
            attempt([&] {
                const auto tags = c.tagNames();
                if (!tags.empty()) c.selectIndex(tags.front());
            });
            attempt([&] {
                int n = 0;
                for (c.first(); !c.eof() && n < 200; c.next(), ++n)
                    for (int f = 0; f < c.fieldCount(); ++f)
                        xbase::isMemoType(c.field(f).type) ? (void)c.memo(f) : (void)c.text(f);
                n = 0;
                for (c.last(); !c.bof() && n < 50; c.prior(), ++n) c.recno();
            });
            attempt([&] {
                c.recordCount();
                if (c.keyLength() == 0) return;
                c.seekExact("SMITH");
                c.seekNearest("M");
            });
            attempt([&] {
                c.append();
                fill(c, "Fuzz, Appended");
                c.post();
            });
            attempt([&] {
                c.cancel();
                c.first();
                if (c.eof()) return;
                c.edit();
                fill(c, "Fuzz, Changed");
                c.post();
            });
            attempt([&] {
                c.cancel();
                c.last();
                if (!c.eof()) c.deleteRecord();
            });
        }
    }
    xbase::checkTable(dbf, &files);
    return 0;
}
