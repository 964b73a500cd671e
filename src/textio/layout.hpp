#pragma once
// Layout strings: parsed once into a LayoutProgram, then used for any number of records.
//
//   writeLaidLine(w, parseLayout("(X,I3,F9.4)"), {7, 0.6})  -> "   7    .6000"
//   writeLaidLine(w, parseLayout("(X,' h ','REDUZ-Model')"), {}) -> "  h REDUZ-Model"
//   writeLaidLine(w, parseLayout("(X,F9.4,F9.2)"), {0.25})   -> "    .2500" (stops at the values' end)

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "textio/record_writer.hpp"

namespace reduz {

enum class ElementType { Skip, Literal, FixedReal, Integer };

struct LayoutElement {
    ElementType type = ElementType::Skip;
    int repeat = 1;               // Skip: columns; FixedReal/Integer: values served
    bool variableRepeat = false;  // repeat given as ^, supplied with the statement
    int width = 0;
    int decimals = 0;
    std::string text;  // Literal
};

struct LayoutProgram {
    std::vector<LayoutElement> elements;
};

// A malformed layout string is a mistake of the program: it aborts, whatever the build.
LayoutProgram parseLayout(std::string_view layout);

using FieldValue = std::variant<double, std::int32_t>;

// One laid-out write statement. F6206 for a real under I, F6207 for an integer under F.
void writeLaidLine(RecordWriter& writer, const LayoutProgram& layout,
                   std::span<const FieldValue> values, int variableRepeat = 0);

// A laid-out statement of one record compiled once, for values of the types given: its
// characters with line end, the fields' places left blank, and where each field goes.
// Writing it again is copying the characters and rendering each field in its place:
//   compileRecord(parseLayout("(X,I3,F9.4)"), {0, 0.0}) -> 13 blanks and CR LF; I3 at 1, F9.4 at 4
//   writeRecord(w, row, {7, 0.6})                       -> "   7    .6000"
// A statement that takes several records, or values of other types, is written laid out.
struct CompiledRecord {
    struct Slot {
        std::size_t at = 0;
        int width = 0;
        int decimals = 0;
        bool real = false;
    };
    const LayoutProgram* layout = nullptr;
    int variableRepeat = 0;
    bool oneRecord = false;
    std::array<char, 128> text{};  // whole words of 8, for the copy
    std::size_t length = 0;
    std::array<Slot, 8> slots{};
    std::size_t slotCount = 0;
};
// The layout must outlive the compiled record.
CompiledRecord compileRecord(const LayoutProgram& layout, std::span<const FieldValue> values, int variableRepeat = 0);
void writeRecord(RecordWriter& writer, const CompiledRecord& record, std::span<const FieldValue> values);

}  // namespace reduz
