#include "fit/base/csv_records.hpp"

#include <csv.h>

#include <memory>
#include <utility>

#include "fit/base/failures.hpp"
#include "fit/base/text_lines.hpp"

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
    const std::string_view field(static_cast<const char*>(bytes), size);
    // A value ends on the line being fed; a quoted one began as many lines before as it holds.
    if (scan.current.fields.empty()) scan.current.line = scan.line - lineEndsIn(field);
    scan.current.fields.emplace_back(field);
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

// Where the quoted value that the text ends inside opened: its line, and the number of the
// value on its line. The text is read as libcsv reads it, strictly: a quote opens a value only
// at the value's start (blanks before it allowed), and a doubled quote inside it is a quote.
std::pair<long, long> unclosedQuote(std::string_view text) {
    long line = 1, value = 1;
    std::pair<long, long> opened{1, 1};
    bool quoted = false, atStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                quoted = i + 1 < text.size() && text[i + 1] == '"';
                if (quoted) ++i;
            } else {
                line += endsLine(text, i);
            }
            continue;
        }
        if (c == ',') {
            ++value;
            atStart = true;
        } else if (c == '\n' || c == '\r') {
            line += endsLine(text, i);
            value = 1;
            atStart = true;
        } else if (c == '"' && atStart) {
            quoted = true;
            opened = {line, value};
        } else if (c != ' ' && c != '\t') {
            atStart = false;
        }
    }
    return opened;
}

}  // namespace

void forEachCsvRecord(std::string_view text, std::string_view file,
                      const std::function<void(const CsvRecord&)>& onRecord) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    csv_parser parser{};
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> release(&parser, csv_free);

    // Fed a line at a time, so that every value is known by the line it is on.
    const std::string_view whole = text;
    Scan scan;
    while (!text.empty()) {
        const std::size_t size = lineLength(text);
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
        const auto [line, value] = unclosedQuote(whole);
        failInput(file, line, value, "the quoted value that opens here is never closed");
    }
    handOn(scan, onRecord);
}

}  // namespace reduz::fit
