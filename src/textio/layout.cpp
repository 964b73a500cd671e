#include "textio/layout.hpp"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool fits(const LayoutElement& element, const FieldValue& value) {
    return std::holds_alternative<double>(value) == (element.type == ElementType::FixedReal);
}

void renderField(char* field, int width, int decimals, const FieldValue& value) {
    if (const double* real = std::get_if<double>(&value)) {
        renderFixedInto(field, *real, width, decimals);
    } else {
        renderIntegerInto(field, std::get<std::int32_t>(value), width);
    }
}

// The field, rendered in place at the end of the record after the owed blanks. A field never
// begins with blanks that are not followed by its text, so the blanks that justify it are
// placed, as position, with it.
void placeField(RecordWriter& writer, const LayoutElement& element, const FieldValue& value) {
    if (!fits(element, value)) {
        const IoFailure failure =
            element.type == ElementType::FixedReal ? IoFailure::IntegerUnderReal : IoFailure::RealUnderInteger;
        failRun(ioFailure(failure, StatementKind::Write, writer.unitText));
    }
    renderField(placeSpace(writer, static_cast<std::size_t>(element.width)), element.width, element.decimals, value);
}

// One laid-out statement's walk over the layout, its fields placed by placeOne(element, value).
//   "(X,F9.4,F9.2)", {0.25}        -> "    .2500"        (stops at the F9.2 left without a value)
//   "(X,F9.4,F9.2)", {1, 2, 3}     -> "   1.0000     2.00", then "   3.0000"
//   "(X,F9.4,^F9.2)", 3 values, 5  -> 28 characters: the two F9.2 repeats left are not reached
template <class PlaceOne>
void walkLayout(RecordWriter& writer, const LayoutProgram& layout, std::span<const FieldValue> values,
                int variableRepeat, PlaceOne placeOne) {
    const auto& elements = layout.elements;
    // Values and no field to take them would start new records for ever.
    if (!values.empty() && std::none_of(elements.begin(), elements.end(), takesValue)) {
        malformed("", "values given to a layout without fields");
    }
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
            placeOne(element, values[next++]);
        }
    }
    endRecord(writer, false);
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

void writeLaidLine(RecordWriter& writer, const LayoutProgram& layout,
                   std::span<const FieldValue> values, int variableRepeat) {
    beginStatement(writer);
    walkLayout(writer, layout, values, variableRepeat,
               [&](const LayoutElement& element, const FieldValue& value) { placeField(writer, element, value); });
}

CompiledRecord compileRecord(const LayoutProgram& layout, std::span<const FieldValue> values, int variableRepeat) {
    CompiledRecord compiled;
    compiled.layout = &layout;
    compiled.variableRepeat = variableRepeat;
    // The statement is walked once into a writer of its own, the fields' places left blank.
    RecordWriter scratch;
    scratch.destination = Destination::ReportFile;
    bool typesFit = true;
    walkLayout(scratch, layout, values, variableRepeat, [&](const LayoutElement& element, const FieldValue& value) {
        char* const field = placeSpace(scratch, static_cast<std::size_t>(element.width));
        typesFit = typesFit && fits(element, value) && compiled.slotCount < compiled.slots.size();
        if (!typesFit) return;
        compiled.slots[compiled.slotCount++] = {static_cast<std::size_t>(field - scratch.record.data()),
                                                element.width, element.decimals, element.type == ElementType::FixedReal};
    });
    const std::string_view records(scratch.buffer.data(), scratch.buffered);
    const std::size_t lineEnd = records.find("\r\n");
    compiled.oneRecord = typesFit && compiled.slotCount == values.size() && lineEnd + 2 == records.size() &&
                         records.size() <= compiled.text.size();
    if (compiled.oneRecord) {
        records.copy(compiled.text.data(), records.size());
        compiled.length = records.size();
    }
    return compiled;
}

void writeRecord(RecordWriter& writer, const CompiledRecord& record, std::span<const FieldValue> values) {
    bool same = record.oneRecord && values.size() == record.slotCount;
    for (std::size_t i = 0; same && i < values.size(); ++i) {
        same = std::holds_alternative<double>(values[i]) == record.slots[i].real;
    }
    if (!same) return writeLaidLine(writer, *record.layout, values, record.variableRepeat);

    beginStatement(writer);
    // Straight into the file's buffer when the record, in whole words, fits in the room left;
    // else by the record, which the buffer takes across its boundary.
    const std::size_t words = (record.length + 7) / 8;
    const bool inBuffer =
        writer.destination == Destination::ReportFile && writer.buffer.size() - writer.buffered >= 8 * words;
    char* const to = inBuffer ? writer.buffer.data() + writer.buffered : writer.record.data();
    for (std::size_t i = 0; i < words; ++i) std::memcpy(to + 8 * i, record.text.data() + 8 * i, 8);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const CompiledRecord::Slot& slot = record.slots[i];
        renderField(to + slot.at, slot.width, slot.decimals, values[i]);
    }
    if (inBuffer) {
        bufferedInPlace(writer, record.length);
    } else {
        writer.recordLength = record.length - 2;  // the line end comes with endRecord
        endRecord(writer, false);
    }
}

}  // namespace reduz
