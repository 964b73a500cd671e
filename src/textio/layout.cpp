#include "textio/layout.hpp"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "failure/run_failure.hpp"
#include "textio/fields.hpp"

namespace reduz {

namespace {

// Counts, widths and decimals above this are taken for a mistyped layout.
constexpr int largestNumber = 32767;

// The layout strings are constants of the program, so a malformed one is a mistake in the
// program itself, never in its input: an assertion that holds in every build.
[[noreturn]] void malformed(std::string_view layout, std::string_view reason) {
    std::fprintf(stderr, "malformed layout string \"%.*s\": %.*s\n", static_cast<int>(layout.size()), layout.data(),
                 static_cast<int>(reason.size()), reason.data());
    std::abort();
}

// Reads a layout string; blanks and TABs count only inside literals.
class LayoutReader {
public:
    explicit LayoutReader(std::string_view layout) : layout_(layout) {}

    // The next significant character, 0 at the end of the string.
    char peek() {
        skipBlanks();
        return place_ < layout_.size() ? layout_[place_] : '\0';
    }
    char take() {
        const char next = peek();
        if (next != '\0') ++place_;
        return next;
    }
    // An unsigned number, its digits possibly spread by blanks: "1 0X" is 10X.
    std::optional<int> number() {
        if (!isDigit(peek())) return std::nullopt;
        int value = 0;
        while (isDigit(peek())) {
            value = value * 10 + (take() - '0');
            if (value > largestNumber) fail("number too large");
        }
        return value;
    }
    // The text of a literal whose opening delimiter has been taken: "'it''s'" -> "it's".
    std::string literal(char delimiter) {
        std::string text;
        for (;;) {
            if (place_ >= layout_.size()) fail("literal without its closing delimiter");
            const char next = layout_[place_++];
            if (next == delimiter) {
                if (place_ < layout_.size() && layout_[place_] == delimiter) {
                    text += delimiter;
                    ++place_;
                    continue;
                }
                return text;
            }
            text += next;
        }
    }
    [[noreturn]] void fail(std::string_view reason) const { malformed(layout_, reason); }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    void skipBlanks() {
        while (place_ < layout_.size() && (layout_[place_] == ' ' || layout_[place_] == '\t')) ++place_;
    }

    std::string_view layout_;
    std::size_t place_ = 0;
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int positive(LayoutReader& reader, std::optional<int> number, std::string_view what) {
    if (!number) reader.fail(std::string(what) + " missing");
    if (*number == 0) reader.fail(std::string(what) + " of zero");
    return *number;
}

LayoutElement parseElement(LayoutReader& reader) {
    LayoutElement element;
    bool variable = false;
    std::optional<int> count;
    if (reader.peek() == '^') {
        reader.take();
        variable = true;
    } else {
        count = reader.number();
    }

    const char letter = upper(reader.take());
    switch (letter) {
        case 'X':
            if (variable) reader.fail("^ in front of X");
            element.type = ElementType::Skip;
            element.repeat = count ? positive(reader, count, "X count") : 1;
            return element;
        case '\'':
        case '"':
            if (variable || count) reader.fail("repeat count in front of a literal");
            element.type = ElementType::Literal;
            element.text = reader.literal(letter);
            return element;
        case 'F':
        case 'I':
            element.type = letter == 'F' ? ElementType::FixedReal : ElementType::Integer;
            element.variableRepeat = variable;
            element.repeat = count ? positive(reader, count, "repeat count") : 1;
            element.width = positive(reader, reader.number(), "field width");
            if (letter == 'F') {
                if (reader.take() != '.') reader.fail("F without its decimals");
                const std::optional<int> decimals = reader.number();
                if (!decimals) reader.fail("F without its decimals");
                element.decimals = *decimals;
            }
            return element;
        case '(':
            reader.fail("nested group");
        case '\0':
            reader.fail("no closing parenthesis");
        default:
            reader.fail(std::string("unknown descriptor '") + letter + "'");
    }
}

bool takesValue(const LayoutElement& element) {
    return element.type == ElementType::FixedReal || element.type == ElementType::Integer;
}

// The field text with its leading blanks owed rather than placed, so that they count as position.
void placeField(RecordWriter& writer, const std::string& field) {
    const std::size_t start = std::min(field.find_first_not_of(' '), field.size());
    writer.pendingBlanks = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(writer.pendingBlanks) + start, INT_MAX));
    placeText(writer, std::string_view(field).substr(start));
}

std::string renderValue(const RecordWriter& writer, const LayoutElement& element, const FieldValue& value) {
    if (element.type == ElementType::FixedReal) {
        const double* real = std::get_if<double>(&value);
        if (real == nullptr) failRun(ioFailure(IoFailure::IntegerUnderReal, StatementKind::Write, writer.unitText));
        return renderFixed(*real, element.width, element.decimals);
    }
    const std::int32_t* integer = std::get_if<std::int32_t>(&value);
    if (integer == nullptr) failRun(ioFailure(IoFailure::RealUnderInteger, StatementKind::Write, writer.unitText));
    return renderInteger(*integer, element.width);
}

}  // namespace

//   "(X,F9.4,^F9.2)" -> Skip 1, F9.4, F9.2 served a variable number of times
//   "( x 'a''b' 2i3 )" -> Skip 1, literal "a'b", I3 twice
LayoutProgram parseLayout(std::string_view layout) {
    LayoutReader reader(layout);
    if (reader.take() != '(') reader.fail("no opening parenthesis");
    LayoutProgram program;
    while (reader.peek() != ')') {
        program.elements.push_back(parseElement(reader));
        if (reader.peek() == ',') reader.take();
    }
    reader.take();
    if (reader.peek() != '\0') reader.fail("text after the closing parenthesis");
    return program;
}

//   "(X,F9.4,F9.2)", {0.25}        -> "    .2500"        (stops at the F9.2 left without a value)
//   "(X,F9.4,F9.2)", {1, 2, 3}     -> "   1.0000     2.00", then "   3.0000"
//   "(X,F9.4,^F9.2)", 3 values, 5  -> 28 characters: the two F9.2 repeats left are not reached
void writeLaidLine(RecordWriter& writer, const LayoutProgram& layout,
                   std::span<const FieldValue> values, int variableRepeat) {
    const auto& elements = layout.elements;
    // Values and no field to take them would start new records for ever.
    if (!values.empty() && std::none_of(elements.begin(), elements.end(), takesValue)) {
        malformed("", "values given to a layout without fields");
    }

    beginStatement(writer);
    writer.pendingBlanks = 0;
    std::size_t next = 0;
    std::size_t place = 0;
    for (;;) {
        if (place == elements.size()) {
            if (next == values.size()) break;
            // More values than the layout holds: a new record, the layout again from its start.
            endRecord(writer, false);
            place = 0;
            continue;
        }
        const LayoutElement& element = elements[place++];
        if (element.type == ElementType::Skip) {
            writer.pendingBlanks = std::min(writer.pendingBlanks, INT_MAX - element.repeat) + element.repeat;
            continue;
        }
        if (element.type == ElementType::Literal) {
            placeText(writer, element.text);
            continue;
        }
        // A field with repeats left, or the first field after the last value, ends the statement.
        const int repeat = element.variableRepeat ? std::max(variableRepeat, 1) : element.repeat;
        for (int served = 0; served < repeat; ++served) {
            if (next == values.size()) {
                endRecord(writer, false);
                return;
            }
            placeField(writer, renderValue(writer, element, values[next++]));
        }
    }
    endRecord(writer, false);
}

}  // namespace reduz
