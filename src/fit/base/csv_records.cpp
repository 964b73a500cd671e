#include "fit/base/csv_records.hpp"

#include <csv.h>

#include <memory>

#include "fit/base/failures.hpp"

namespace reduz::fit {

namespace {

// What libcsv's callbacks gather while one line is fed to it. The records are handed on only
// after the parser has returned: nothing is thrown through the C library's frames.
struct Scan {
    long line = 1;
    CsvRecord current;
    std::vector<CsvRecord> finished;
};

void onField(void* bytes, std::size_t size, void* data) {
    Scan& scan = *static_cast<Scan*>(data);
    if (scan.current.fields.empty()) scan.current.line = scan.line;
    scan.current.fields.emplace_back(static_cast<const char*>(bytes), size);
}

void onRecordEnd(int, void* data) {
    Scan& scan = *static_cast<Scan*>(data);
    scan.finished.push_back(std::move(scan.current));
    scan.current = CsvRecord{};
}

void handOn(Scan& scan, const std::function<void(const CsvRecord&)>& onRecord) {
    for (const CsvRecord& record : scan.finished) onRecord(record);
    scan.finished.clear();
}

}  // namespace

void forEachCsvRecord(std::string_view text, std::string_view file,
                      const std::function<void(const CsvRecord&)>& onRecord) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    csv_parser parser{};
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> release(&parser, csv_free);

    // Fed a line at a time, so that every value is known by the line it is on.
    Scan scan;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t size = end == std::string_view::npos ? text.size() : end + 1;
        if (csv_parse(&parser, text.data(), size, onField, onRecordEnd, &scan) != size) {
            handOn(scan, onRecord);
            const bool outOfMemory = csv_error(&parser) == CSV_ENOMEM || csv_error(&parser) == CSV_ETOOBIG;
            if (outOfMemory) throw std::bad_alloc();
            failInput(file, scan.line, static_cast<long>(scan.current.fields.size()) + 1,
                      "a quote out of place (a value holding a quote is quoted whole, its quotes doubled)");
        }
        handOn(scan, onRecord);
        text.remove_prefix(size);
        if (!text.empty()) ++scan.line;
    }
    if (csv_fini(&parser, onField, onRecordEnd, &scan) != 0) {
        failInput(file, scan.line, 0, "the file ends inside a quoted value");
    }
    handOn(scan, onRecord);
}

}  // namespace reduz::fit
