// Turns the WHO's two tab-separated L, M, S tables into the C++ source of the engine's data.
// Usage: vimora_who_table_generator DAYS.tsv MONTHS.tsv OUTPUT.cpp
//
// The numbers are copied as written in the tables, so the compiler rounds each to the double
// nearest its decimal value. Every row is checked first: a damaged copy fails the build rather
// than shifting an age.

#include "WhoTables.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Row {
    std::string l;
    std::string m;
    std::string s;
};

struct Table {
    const char* path;
    const char* type; ///< of the generated array
    std::string_view header;
    int firstAge;
    int lastAge;
    std::array<std::vector<Row>, 2> rows; ///< by sex: boys, girls
};

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab - at));
        if (tab == std::string_view::npos)
            return fields;
        at = tab + 1;
    }
}

[[noreturn]] void fail(const Table& table, int line, const std::string& message) {
    throw std::runtime_error(std::string(table.path) + ":" + std::to_string(line) + ": " + message);
}

// A decimal as the WHO writes it: an optional minus, digits, a point, digits.
bool isDecimal(std::string_view text) {
    if (text.starts_with('-'))
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    if (point == 0 || point == std::string_view::npos || point + 1 == text.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i != point && (text[i] < '0' || text[i] > '9'))
            return false;
    return true;
}

int wholeNumber(const Table& table, int line, std::string_view text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string_view::npos)
        fail(table, line, "not a whole number: '" + std::string(text) + "'");
    return std::stoi(std::string(text));
}

// One row of the table, checked, after `rows` of the same sex.
Row readRow(const Table& table, int number, const std::vector<std::string_view>& fields,
            const std::vector<Row>& rows) {
    const int age = table.firstAge + static_cast<int>(rows.size());
    if (wholeNumber(table, number, fields[1]) != age)
        fail(table, number, "ages are not consecutive from " + std::to_string(table.firstAge));
    for (std::size_t i = 2; i <= 4; ++i) {
        if (!isDecimal(fields[i]))
            fail(table, number, "not a decimal: '" + std::string(fields[i]) + "'");
    }
    const double l = std::strtod(std::string(fields[2]).c_str(), nullptr);
    const double m = std::strtod(std::string(fields[3]).c_str(), nullptr);
    const double s = std::strtod(std::string(fields[4]).c_str(), nullptr);
    // The LMS formula divides by L, and the extension beyond -3 takes the power 1/L of 1 - 3LS.
    if (l == 0 || m <= 0 || s <= 0 || 1 - 3 * std::abs(l) * s <= 0)
        fail(table, number, "L, M, S out of their range");
    if (fields.size() == 6) {
        const char expected = age < 731 ? 'L' : 'H';
        if (fields[5] != std::string_view(&expected, 1))
            fail(table, number, "length or height column out of place");
    }
    return {std::string(fields[2]), std::string(fields[3]), std::string(fields[4])};
}

void read(Table& table) {
    std::ifstream file(table.path, std::ios::binary);
    if (!file)
        throw std::runtime_error(std::string(table.path) + ": cannot be read");
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.ends_with('\r'))
            line.pop_back();
        if (number == 1) {
            if (line != table.header)
                fail(table, number, "header expected: " + std::string(table.header));
            continue;
        }
        const std::vector<std::string_view> fields = split(line);
        if (fields.size() != split(table.header).size())
            fail(table, number, "wrong number of fields");
        const int sex = wholeNumber(table, number, fields[0]);
        if (sex != 1 && sex != 2)
            fail(table, number, "sex is neither 1 nor 2");
        std::vector<Row>& rows = table.rows.at(std::size_t(sex - 1));
        rows.push_back(readRow(table, number, fields, rows));
    }
    const auto ages = static_cast<std::size_t>(table.lastAge - table.firstAge) + 1;
    for (const std::vector<Row>& rows : table.rows) {
        if (rows.size() != ages)
            fail(table, number,
                 "ages do not run from " + std::to_string(table.firstAge) + " to " +
                     std::to_string(table.lastAge) + " for both sexes");
    }
}

void write(std::ostream& out, const char* name, const Table& table) {
    out << "const std::array<" << table.type << ", 2> " << name << "{{\n";
    for (const std::vector<Row>& rows : table.rows) {
        out << "    {{\n";
        for (const Row& row : rows)
            out << "        {" << row.l << ", " << row.m << ", " << row.s << "},\n";
        out << "    }},\n";
    }
    out << "}};\n\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DAYS.tsv MONTHS.tsv OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    using namespace vimora::who;
    Table days{argv[1], "DayTable", "sex\tage\tl\tm\ts\tloh", 0, kLastDay, {}};
    Table months{argv[2], "MonthTable", "sex\tage\tl\tm\ts", kFirstMonth, kLastMonth, {}};
    try {
        read(days);
        read(months);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::ostringstream source;
    source << "// Generated by WhoTableGenerator from the WHO's tables: do not edit.\n\n"
              "#include \"WhoTables.h\"\n\nnamespace vimora::who {\n\n";
    write(source, "kByDay", days);
    write(source, "kByMonth", months);
    source << "} // namespace vimora::who\n";
    std::ofstream output(argv[3], std::ios::binary);
    output << source.str();
    output.close();
    if (!output) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[3]);
        return 1;
    }
    return 0;
}
