#include "textio/free_form.hpp"

#include <array>
#include <cassert>
#include <string>
#include <string_view>
#include <unistd.h>

#include "failure/run_failure.hpp"
#include "textio/console.hpp"
#include "textio/conversion.hpp"

namespace reduz {

namespace {

enum class Separator { Blank, Comma, Slash };

// A value's text in a failure report is cut to this many characters, "..." included.
constexpr std::size_t shownLimit = 20;

// The value being scanned, converted as its characters come for either kind of target, so
// that a value of any length takes bounded memory. No characters is a null value. Its first
// characters and its record are kept for a failure report.
struct ValueScan {
    IntegerConversion integer;
    RealConversion real;
    std::uint64_t length = 0;       // characters converted
    std::uint64_t textLength = 0;   // characters of the text, a repeat count's included
    std::array<char, shownLimit + 1> shown{};
    std::int64_t record = 0;

    void feed(int c, std::int64_t inRecord) {
        integer.feed(static_cast<unsigned char>(c));
        real.feed(static_cast<unsigned char>(c));
        ++length;
        note(c, inRecord);
    }
    // A character of the text that is not converted: the asterisk after a repeat count.
    void note(int c, std::int64_t inRecord) {
        if (textLength == 0) record = inRecord;
        // Control characters would upset the terminal that shows the report.
        if (textLength < shown.size()) shown[textLength] = c < 32 || c == 127 ? '?' : static_cast<char>(c);
        ++textLength;
    }
    // After a repeat count: the value to repeat is converted afresh, its text goes on.
    void startRepeatedValue() {
        integer = IntegerConversion{};
        real = RealConversion{};
        length = 0;
    }
    bool empty() const { return length == 0; }
    // " '0.25abc'", or " '12345678901234567...'" for a longer text.
    std::string quoted() const {
        if (textLength <= shownLimit) return " '" + std::string(shown.data(), textLength) + "'";
        return " '" + std::string(shown.data(), shownLimit - 3) + "...'";
    }
};

// A converted value that waits for the end of its record before it reaches its target.
struct Store {
    ReadTarget target;
    double real = 0.0;
    std::int32_t integer = 0;
};

// Statements read at most this many targets.
constexpr std::size_t targetLimit = 8;

// What one read statement remembers between its targets.
struct Statement {
    explicit Statement(TextSource& from) : source(from) {}
    TextSource& source;
    std::int64_t pendingRepeat = 0;  // further targets that take the current value again
    Separator last = Separator::Comma;
    bool endedByRecordEnd = false;
    ValueScan value;  // the current value
    // The values of a record whose end has not been read: a record's values are used only
    // once the whole record is known good (a keyboard line ending in Ctrl-Z is not used).
    std::array<Store, targetLimit> waiting{};
    std::size_t waitingCount = 0;
    std::int64_t waitingRecord = 0;
};

// The waiting values reach their targets once their record has ended.
void storeWaiting(Statement& st) {
    if (st.source.midRecord && st.source.records == st.waitingRecord) return;
    for (std::size_t i = 0; i < st.waitingCount; ++i) {
        const Store& store = st.waiting[i];
        if (std::int32_t* const* integer = std::get_if<std::int32_t*>(&store.target.place)) {
            **integer = store.integer;
        } else {
            *std::get<double*>(store.target.place) = store.real;
        }
    }
    st.waitingCount = 0;
}

// A quoted string runs to its closing mark, over records if need be; a doubled mark is one
// mark of the string.
void passQuoted(TextSource& source, int mark) {
    for (;;) {
        if (nextCharacter(source) != mark) continue;
        if (peekCharacter(source) != mark) return;
        nextCharacter(source);
    }
}

void passParenthesised(TextSource& source) {
    while (nextCharacter(source) != ')') {
    }
}

// A value that cannot be used ends the statement, after what the rest of its record holds (a
// read error, a typed line too long, a keyboard line ending in Ctrl-Z), which is read first, as
// if the whole record had been read before its values; what came before the value in its record
// is then used. The report shows the value's text, when it has one, and where it stands.
[[noreturn]] void failValue(Statement& st, IoFailure failure, bool showText = true) {
    const ValueScan& value = st.value;
    const bool text = value.textLength > 0;
    const std::int64_t record = text ? value.record : st.source.records;
    const std::string detail = (showText && text ? value.quoted() : std::string()) + " " + placeOf(st.source, record);
    skipRestOfRecord(st.source);
    storeWaiting(st);
    failRead(st.source, failure, detail);
}

void takeRepeatCount(Statement& st) {
    if (st.pendingRepeat != 0) failValue(st, IoFailure::SecondRepeatCount);
    const Converted<std::int32_t> count = st.value.integer.result();
    if (!count.ok()) failValue(st, *count.failure);
    if (count.value <= 0) failValue(st, IoFailure::RepeatCountBelowOne);
    st.pendingRepeat = count.value - 1;
    st.value.startRepeatedValue();
}

// Scans one value into st.value and notes what ended it.
void scanValue(Statement& st) {
    TextSource& source = st.source;
    st.value = ValueScan{};
    st.endedByRecordEnd = false;
    // After an asterisk a separator ends the value at once: the repeated value is null.
    bool repeatForm = false;
    for (;;) {
        const int c = nextCharacter(source);
        const bool empty = st.value.empty() && !repeatForm;
        switch (c) {
            case endOfRecord:
                if (empty) continue;
                st.endedByRecordEnd = true;
                st.last = Separator::Blank;
                return;
            case ' ':
            case '\t':
                if (empty) continue;
                st.last = Separator::Blank;
                return;
            case ',':
                // Blanks followed by a comma are one separator.
                if (empty && st.last == Separator::Blank) {
                    st.last = Separator::Comma;
                    continue;
                }
                st.last = Separator::Comma;
                return;
            case '/':
                st.last = Separator::Slash;
                return;
            case '*':
                st.value.note(c, source.records);
                takeRepeatCount(st);
                repeatForm = true;
                continue;
            case '\'':
            case '"':
                if (!st.value.empty()) break;
                passQuoted(source, c);
                failValue(st, IoFailure::QuotedForNumeric, false);
            case '(':
                if (!st.value.empty()) break;
                passParenthesised(source);
                failValue(st, IoFailure::QuotedForNumeric, false);
            default:
                break;
        }
        st.value.feed(c, source.records);
    }
}

// Converts a value for its target; a null value leaves the target as it is.
void storeValue(Statement& st, const ReadTarget& target) {
    storeWaiting(st);
    if (st.value.empty()) return;
    Store store{target};
    st.source.valueRecord = st.value.record;
    if (std::holds_alternative<std::int32_t*>(target.place)) {
        const Converted<std::int32_t> converted = st.value.integer.result();
        if (!converted.ok()) failValue(st, *converted.failure);
        store.integer = converted.value;
    } else {
        const Converted<double> converted = st.value.real.result();
        if (!converted.ok()) failValue(st, *converted.failure);
        store.real = converted.value;
    }
    st.waiting[st.waitingCount++] = store;
    st.waitingRecord = st.source.records;
    storeWaiting(st);
}

}  // namespace

void readFreeForm(TextSource& source, std::span<const ReadTarget> targets) {
    assert(targets.size() <= targetLimit);
    // Keyboard and screen of one console: the answer goes on the line below the prompt, and
    // the prompt's line end is then no longer owed.
    const bool oneConsole =
        source.kind == SourceKind::Keyboard && source.terminal && ::isatty(runStreams().output) == 1;
    if (oneConsole) writeOwedLineEnd();
    Statement st(source);
    for (const ReadTarget& target : targets) {
        if (st.last == Separator::Slash && st.pendingRepeat == 0) break;
        if (st.pendingRepeat != 0) {
            --st.pendingRepeat;
        } else {
            source.seeking = target.name;
            scanValue(st);
        }
        storeValue(st, target);
    }
    source.seeking = {};
    if (!st.endedByRecordEnd) skipRestOfRecord(source);
    storeWaiting(st);
    if (oneConsole) setLineEndPending(false);
}

}  // namespace reduz
