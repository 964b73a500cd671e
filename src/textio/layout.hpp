#pragma once
// Layout strings: parsed once into a LayoutProgram, then used for any number of records.
//
//   writeLaidLine(w, parseLayout("(X,I3,F9.4)"), {7, 0.6})  -> "   7    .6000"
//   writeLaidLine(w, parseLayout("(X,' h ','REDUZ-Model')"), {}) -> "  h REDUZ-Model"
//   writeLaidLine(w, parseLayout("(X,F9.4,F9.2)"), {0.25})   -> "    .2500" (stops at the values' end)

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

}  // namespace reduz
