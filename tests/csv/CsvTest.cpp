#include "csv/CsvReader.h"
#include "csv/CsvWriter.h"

#include "MemoryReader.h"
#include "NamedRows.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace vimora::csv;

namespace {

struct Record {
    std::size_t line;
    std::vector<std::string> fields;

    friend bool operator==(const Record&, const Record&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Record& record) {
        out << "line " << record.line << ":";
        for (const std::string& field : record.fields)
            out << " [" << field << "]";
        return out;
    }
};

std::vector<Record> readAll(const std::string& text, std::size_t pieceSize, std::size_t chunkSize = 64,
                            std::size_t maxRecordSize = 1024) {
    // Pieces of the given size make records cross buffer boundaries.
    CsvReader reader(vimora::test::MemoryReader(text, pieceSize), chunkSize, maxRecordSize);
    std::vector<Record> records;
    while (reader.next())
        records.push_back({reader.line(), {reader.fields().begin(), reader.fields().end()}});
    return records;
}

std::string readError(const std::string& text, std::size_t pieceSize, std::size_t maxRecordSize = 1024) {
    try {
        readAll(text, pieceSize, 64, maxRecordSize);
    } catch (const CsvError& error) {
        return error.what();
    }
    return "(no error)";
}

// Whole input at once, byte by byte, and sizes that split line ends and doubled quotes.
constexpr std::array<std::size_t, 6> kPieceSizes = {1, 2, 3, 5, 64, 4096};

struct ReadCase {
    const char* name;
    std::string input;
    std::vector<Record> records;
};

class Reading : public testing::TestWithParam<ReadCase> {};

TEST_P(Reading, GivesTheSameRecordsHoweverTheInputArrives) {
    for (const std::size_t pieceSize : kPieceSizes)
        EXPECT_EQ(readAll(GetParam().input, pieceSize), GetParam().records) << "pieces of " << pieceSize;
}

INSTANTIATE_TEST_SUITE_P(
    Csv, Reading,
    testing::Values(ReadCase{"LfLineEnds", "a;b\nc;d\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
                    ReadCase{"CrLfLineEnds", "a;b\r\nc;d\r\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
                    ReadCase{"NoLineEndAtTheEnd", "a;b\nc;d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
                    ReadCase{"CrAtTheVeryEnd", "a;b\r", {{1, {"a", "b"}}}},
                    ReadCase{"ByteOrderMarkSkipped",
                             "\xEF\xBB\xBF"
                             "a;b\n",
                             {{1, {"a", "b"}}}},
                    ReadCase{"ByteOrderMarkOnlyAtTheStart",
                             "a\n\xEF\xBB\xBF"
                             "b\n",
                             {{1, {"a"}},
                              {2,
                               {"\xEF\xBB\xBF"
                                "b"}}}},
                    ReadCase{"BlankLinesSkippedButCounted", "\n\r\na\n\n\nb\n\n", {{3, {"a"}}, {6, {"b"}}}},
                    ReadCase{"EmptyFields", ";;;\n", {{1, {"", "", "", ""}}}},
                    ReadCase{"QuotedSeparator", "\"a;b\";c\n", {{1, {"a;b", "c"}}}},
                    ReadCase{"DoubledQuotes", "\"dit \"\"oui\"\"\";\"\"\"\"\n", {{1, {"dit \"oui\"", "\""}}}},
                    ReadCase{"EmptyQuotedFields", "\"\";\"\"\r\n", {{1, {"", ""}}}},
                    ReadCase{"QuotedLineEndsKeptAndCounted",
                             "\"1\n2\";\"3\r\n4\"\nx\n",
                             {{1, {"1\n2", "3\r\n4"}}, {4, {"x"}}}},
                    ReadCase{"QuotedFieldLast", "a;\"b\"", {{1, {"a", "b"}}}},
                    ReadCase{"QuotedFieldThenCrAtTheEnd", "a;\"b\"\r", {{1, {"a", "b"}}}},
                    ReadCase{"QuoteInsideAPlainFieldIsText", "5\"3;\"x\"\n", {{1, {"5\"3", "x"}}}},
                    ReadCase{"LoneCrIsText", "a\rb;c\r\n", {{1, {"a\rb", "c"}}}},
                    ReadCase{"PlainThenQuotedLines",
                             "a;b\n\"c\";d\ne;f\n",
                             {{1, {"a", "b"}}, {2, {"c", "d"}}, {3, {"e", "f"}}}},
                    ReadCase{"Utf8Text", "Féminin;1,75 m²\n", {{1, {"Féminin", "1,75 m²"}}}},
                    ReadCase{"FourByteUtf8",
                             "\xF0\x9F\x98\x80;\xF4\x8F\xBF\xBF\n",
                             {{1, {"\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}}}},
                    ReadCase{"Empty", "", {}}, ReadCase{"OnlyBlankLines", "\n\r\n\n", {}},
                    ReadCase{"OnlyAByteOrderMark", "\xEF\xBB\xBF", {}}),
    vimora::test::RowName());

struct ErrorCase {
    const char* name;
    std::string input;
    std::string message;
};

class ReadingFails : public testing::TestWithParam<ErrorCase> {};

TEST_P(ReadingFails, WithTheLineOfTheFault) {
    for (const std::size_t pieceSize : kPieceSizes)
        EXPECT_EQ(readError(GetParam().input, pieceSize), GetParam().message) << "pieces of " << pieceSize;
}

INSTANTIATE_TEST_SUITE_P(
    Csv, ReadingFails,
    testing::Values(
        ErrorCase{"UnterminatedQuote", "a\n\n\"b;c\nd\n", "ligne 3 : guillemet non fermé"},
        ErrorCase{"UnterminatedQuoteAfterDoubledOne", "\"b\"\"", "ligne 1 : guillemet non fermé"},
        ErrorCase{"TextAfterClosingQuote", "\"a\"b;c\n",
                  "ligne 1 : caractère inattendu après un guillemet fermant"},
        ErrorCase{"TextAfterClosingQuoteOnALaterLine", "\"a\n\"x\n",
                  "ligne 2 : caractère inattendu après un guillemet fermant"},
        ErrorCase{"CrInsideTextAfterQuote", "\"a\"\rb\n",
                  "ligne 1 : caractère inattendu après un guillemet fermant"},
        ErrorCase{"Latin1", "ok\nF\xE9minin;1\n", "ligne 2 : texte qui n'est pas en UTF-8"},
        ErrorCase{"BadContinuation", "\xC3\x28\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"Overlong", "\xC0\xAF\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"OverlongThreeBytes", "\xE0\x80\xAF\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"Surrogate", "\xED\xA0\x80\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"AboveUnicode", "\xF4\x90\x80\x80\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"CutShortAtTheEnd", "a;\xE2\x82", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"CutShortBeforeTheLineEnd", "a;\xE2\x82\nb\n", "ligne 1 : texte qui n'est pas en UTF-8"},
        ErrorCase{"InvalidOnTheSecondLineOfAQuotedField", "x\n\"a\n\xFF\";b\n",
                  "ligne 3 : texte qui n'est pas en UTF-8"},
        ErrorCase{"InvalidByteOrderMark",
                  "\xEF\xBB"
                  "a\n",
                  "ligne 1 : texte qui n'est pas en UTF-8"}),
    vimora::test::RowName());

TEST(CsvReader, RefusesARecordOverTheLimitWhereverItsEndIs) {
    const std::string longLine(40, 'x');
    for (const std::size_t pieceSize : kPieceSizes) {
        EXPECT_EQ(readError("a\n" + longLine + "\n", pieceSize, 32),
                  "ligne 2 : enregistrement trop long (plus de 32 octets)");
        EXPECT_EQ(readError("a\n\"" + longLine + "\"\n", pieceSize, 32),
                  "ligne 2 : enregistrement trop long (plus de 32 octets)");
        EXPECT_EQ(readError("a\n\"" + longLine + "\"x\n", pieceSize, 32),
                  "ligne 2 : enregistrement trop long (plus de 32 octets)")
            << "the length is reported whatever else is wrong";
        EXPECT_EQ(readError("a\n\"x\"y" + longLine + "\n", pieceSize, 32),
                  "ligne 2 : enregistrement trop long (plus de 32 octets)");
        EXPECT_EQ(readError("a\n\"" + longLine, pieceSize, 32),
                  "ligne 2 : enregistrement trop long (plus de 32 octets)");
        EXPECT_EQ(readAll("a\n" + std::string(31, 'x') + "\n", pieceSize, 64, 32).size(), 2u);
    }
}

TEST(CsvReader, ReadsManyChunksOfMixedRecords) {
    std::string input;
    for (int i = 0; i < 20'000; ++i)
        input += "M;" + std::to_string(i) + ";\"8\"\"0\";1,75\r\n";
    CsvReader reader(vimora::test::MemoryReader(input, 4096), 4096, 1024);
    std::size_t records = 0;
    while (reader.next()) {
        ASSERT_EQ(reader.line(), records + 1);
        ASSERT_EQ(reader.fields()[1], std::to_string(records));
        ASSERT_EQ(reader.fields()[2], "8\"0");
        ++records;
    }
    EXPECT_EQ(records, 20'000u);
}

struct QuoteCase {
    const char* name;
    std::string field;
    std::string written;
};

class Writing : public testing::TestWithParam<QuoteCase> {};

TEST_P(Writing, QuotesOnlyWhatNeedsIt) {
    std::string output;
    CsvWriter writer([&](std::string_view bytes) { output.append(bytes); });
    writer.row(std::array<std::string_view, 2>{"a", GetParam().field});
    writer.flush();
    EXPECT_EQ(output, "a;" + GetParam().written + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Csv, Writing,
    testing::Values(QuoteCase{"Plain", "Perdre de 3 à 23 Kg !", "Perdre de 3 à 23 Kg !"},
                    QuoteCase{"Empty", "", ""}, QuoteCase{"Separator", "M;", "\"M;\""},
                    QuoteCase{"Quote", "1\"2", "\"1\"\"2\""}, QuoteCase{"Cr", "a\rb", "\"a\rb\""},
                    QuoteCase{"Lf", "a\nb", "\"a\nb\""},
                    QuoteCase{"CommaAndSpacesStayPlain", " 1,75 ", " 1,75 "},
                    QuoteCase{"SeparatorAfterSixteenBytes", "Sexe inconnu : 'abc;'",
                              "\"Sexe inconnu : 'abc;'\""},
                    QuoteCase{"QuoteAtTheSixteenthByte", "0123456789abcde\"", "\"0123456789abcde\"\"\""},
                    QuoteCase{"LfInTheTailAfterABlock", "0123456789abcdef\n", "\"0123456789abcdef\n\""}),
    vimora::test::RowName());

// A text a spreadsheet would run is written after an apostrophe, and read back as it was.
TEST(CsvWriter, NeutralisesFormulasAndTheReaderTakesThemBack) {
    const struct {
        std::string text;
        std::string cell;
    } rows[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"@HYPERLINK(\"http://x\")", "'@HYPERLINK(\"http://x\")"},
        {"+33 6", "'+33 6"},
        {"-2", "'-2"},
        {"\t=1", "'\t=1"},
        {"\r=1", "'\r=1"},
        {"'=1", "''=1"},
        {"''-1", "'''-1"},
        {"O'Brien", "O'Brien"},
        {"'Brien", "'Brien"},
        {"'", "'"},
        {"Lefèvre-Durand", "Lefèvre-Durand"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(neutralisedText(row.text), row.cell);
        EXPECT_EQ(restoredText(row.cell), row.text);
    }
}

TEST(CsvWriter, HandsOverWholeRowsOnly) {
    std::vector<std::string> blocks;
    CsvWriter writer([&](std::string_view bytes) { blocks.emplace_back(bytes); }, 10);
    for (int row = 0; row < 5; ++row) {
        const std::string number = std::to_string(row);
        writer.row(std::array<std::string_view, 2>{"0123456", number});
    }
    writer.flush();
    ASSERT_EQ(blocks.size(), 5u);
    for (const std::string& block : blocks)
        EXPECT_EQ(block.back(), '\n');
    writer.flush();
    EXPECT_EQ(blocks.size(), 5u) << "an empty buffer is not handed over";
}

} // namespace
