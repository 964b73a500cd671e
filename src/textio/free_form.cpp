#include "textio/free_form.hpp"

#include <string>
#include <string_view>
#include <unistd.h>

#include "failure/run_failure.hpp"
#include "textio/console.hpp"
#include "textio/conversion.hpp"

namespace reduz {

namespace {

enum class Separator { Blank, Comma, Slash };

// What one read statement remembers between its targets.
struct Statement {
    explicit Statement(TextSource& from) : source(from) {}
    TextSource& source;
    std::int64_t pendingRepeat = 0;  // further targets that take the current value again
    Separator last = Separator::Comma;
    bool endedByRecordEnd = false;
    std::string text;  // the current value; empty means null
};

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

void takeRepeatCount(Statement& st) {
    if (st.pendingRepeat != 0) failRead(st.source, IoFailure::SecondRepeatCount);
    const Converted<std::int32_t> count = convertInteger(st.text);
    if (!count.ok()) failRead(st.source, *count.failure);
    if (count.value <= 0) failRead(st.source, IoFailure::RepeatCountBelowOne);
    st.pendingRepeat = count.value - 1;
    st.text.clear();
}

// Scans one value into st.text and notes what ended it.
void scanValue(Statement& st) {
    TextSource& source = st.source;
    st.text.clear();
    st.endedByRecordEnd = false;
    // After an asterisk a separator ends the value at once: the repeated value is null.
    bool repeatForm = false;
    for (;;) {
        const int c = nextCharacter(source);
        const bool empty = st.text.empty() && !repeatForm;
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
                takeRepeatCount(st);
                repeatForm = true;
                continue;
            case '\'':
            case '"':
                if (!st.text.empty()) break;
                passQuoted(source, c);
                failRead(source, IoFailure::QuotedForNumeric);
            case '(':
                if (!st.text.empty()) break;
                passParenthesised(source);
                failRead(source, IoFailure::QuotedForNumeric);
            default:
                break;
        }
        st.text.push_back(static_cast<char>(c));
    }
}

// Converts a value's text into its target; an empty text is a null value, which leaves it.
void storeValue(const ReadTarget& target, std::string_view text, const TextSource& source) {
    if (text.empty()) return;
    if (std::int32_t* const* integer = std::get_if<std::int32_t*>(&target)) {
        const Converted<std::int32_t> value = convertInteger(text);
        if (!value.ok()) failRead(source, *value.failure);
        **integer = value.value;
    } else {
        const Converted<double> value = convertReal(text);
        if (!value.ok()) failRead(source, *value.failure);
        *std::get<double*>(target) = value.value;
    }
}

}  // namespace

void readFreeForm(TextSource& source, std::span<const ReadTarget> targets) {
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
            scanValue(st);
        }
        storeValue(target, st.text, source);
    }
    if (!st.endedByRecordEnd) skipRestOfRecord(source);
    if (oneConsole) setLineEndPending(false);
}

}  // namespace reduz
