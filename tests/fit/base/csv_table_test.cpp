// The CSV table every reader of reduzfit takes its rows from: the header and its columns, the
// rows' width, numbers, names and classes, and the CSV faults, each told at its line and column.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fit/base/csv_table.hpp"
#include "fit/refusal.hpp"

namespace reduz::fit {
namespace {

using testing::refusal;

enum { hole, from, support };
const WantedColumn wanted[] = {{"hole"}, {"from"}, {"support", false}};

// Every row read: the hole, from as a number, the support (or "-" without the column).
std::string readAll(const std::string& text) {
    std::string seen;
    readCsvTable(text, "t.csv", wanted, [&](const CsvTable& table, const CsvRecord& row) {
        seen += std::to_string(row.line) + ":" + nonEmptyAt(table, row, hole) + " " +
                std::to_string(numberAt(table, row, from)) + " " +
                (hasColumn(table, support) ? valueAt(table, row, support) : "-") + ";";
    });
    return seen;
}

TEST(CsvTable, RefusesAtTheLineAndColumn) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        // the header
        {"", "t.csv: no header row: the file is empty"},
        {"\n\n", "t.csv: no header row: the file is empty"},
        {"hole,depth\nA,0\n", "t.csv:1: no column \"from\" in the header"},
        {"Hole,from,HOLE\n", "t.csv:1:3: column \"hole\" appears twice (columns 1 and 3)"},
        {"hole,from,support,Support\n", "t.csv:1:4: column \"support\" appears twice (columns 3 and 4)"},
        // a row's width
        {"hole,from,x\nA,0\n", "t.csv:2:3: 2 values where the header has 3"},
        {"hole,from\nA,0,1\n", "t.csv:2:3: 3 values where the header has 2"},
        // values
        {"hole,from\nA,1O\n", "t.csv:2:2: from \"1O\" is not a number"},
        {"hole,FROM\nA,\n", "t.csv:2:2: FROM \"\" is not a number"},
        {"hole,from\nA,inf\n", "t.csv:2:2: from \"inf\" is not a number"},
        {"hole,from\nA,nan\n", "t.csv:2:2: from \"nan\" is not a number"},
        {"x,Hole,from\n1, ,0\n", "t.csv:2:2: empty Hole"},
        // CSV itself
        {"hole,from\nA,0\"1\n", "t.csv:2:2: a quote out of place (a value holding a quote is quoted whole, its quotes doubled)"},
        // an unclosed quote is told where it opens, whatever follows
        {"hole,from\nA,\"0\n", "t.csv:2:2: the quoted value that opens here is never closed"},
        {"hole,from\nA,1\nB, \"2\nC,3\n\nD,\"\"4\n", "t.csv:3:2: the quoted value that opens here is never closed"},
        {"hole,from\r\"A\r\r", "t.csv:2:1: the quoted value that opens here is never closed"},
        // lines end in LF, CR LF or a lone CR; a record is on the line it starts on
        {"hole,from\rA,0\rB,1O\r", "t.csv:3:2: from \"1O\" is not a number"},
        {"hole,from\r\nA,0\r\nB,x\r\n", "t.csv:3:2: from \"x\" is not a number"},
        {"hole,from\n\"A\nB\nC\",x\n", "t.csv:2:2: from \"x\" is not a number"},
        // what a report cannot hold on one line is shown escaped
        {std::string("hole,from\nA,1\0\n5\n", 15), "t.csv:2:2: from \"1\\x00\" is not a number"},
        {"hole,from\nA,\"1\n5\"\n", "t.csv:2:2: from \"1\\n5\" is not a number"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal([&] { readAll(c.text); }), c.error) << c.text;
    }
}

TEST(CsvTable, ReadsRowsAsWritten) {
    struct Case {
        std::string text;
        const char* rows;
    };
    const Case cases[] = {
        {"hole,from\nA,1\n", "2:A 1.000000 -;"},
        {"\xEF\xBB\xBFhole,from\r\nA,+2\r\n", "2:A 2.000000 -;"},          // a byte order mark, CRLF, a plus sign
        {"from,x,HOLE\n1,,A\n,,\n3,y,B\n", "2:A 1.000000 -;4:B 3.000000 -;"},  // any order; a blank row passed over
        {"hole,from,support\n\"A, north\",0.5,7\n", "2:A, north 0.500000 7;"},
        {"from,hole\n1,\"A\nB\"\n2,C\n", "2:A\nB 1.000000 -;4:C 2.000000 -;"},  // a quoted line end
    };
    for (const Case& c : cases) EXPECT_EQ(readAll(c.text), c.rows) << c.text;
}

TEST(CsvTable, ClassesAreCodedByFirstAppearance) {
    const WantedColumn classColumn[] = {{"class"}};
    ClassNames classes;
    std::vector<int> codes;
    readCsvTable("class\nsand\nclay\nsand\nSand\n", "t.csv", classColumn,
                 [&](const CsvTable& table, const CsvRecord& row) { codes.push_back(classAt(table, row, 0, classes)); });
    EXPECT_EQ(codes, (std::vector<int>{0, 1, 0, 2}));
    EXPECT_EQ(classes.names, (std::vector<std::string>{"sand", "clay", "Sand"}));
}

}  // namespace
}  // namespace reduz::fit
