#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace vimora::platform;

namespace {

struct Ansi {
    const char* name;
    const char* text;
    const char* expected;
};

class ConvertsToWindows1252 : public testing::TestWithParam<Ansi> {};

TEST_P(ConvertsToWindows1252, CharacterByCharacter) {
    EXPECT_EQ(toAnsi(GetParam().text), GetParam().expected);
}

const Ansi kAnsi[] = {
    {"Ascii", "Vimora XP 1.0\t|", "Vimora XP 1.0\t|"},
    {"Latin1", "données à été ÿ",
     "donn\xE9"
     "es \xE0 \xE9t\xE9 \xFF"},
    {"EuroAndLigatures", "€ œ Œ Ÿ ž", "\x80 \x9C \x8C \x9F \x9E"},
    {"DashesAndQuotes", "– — ‘’ “” …", "\x96 \x97 \x91\x92 \x93\x94 \x85"},
    {"UndefinedBytesKept", "\xC2\x81\xC2\x8D", "\x81\x8D"},
    {"OtherControlsNotInCodePage", "\xC2\x80", "?"},
    {"OutsideTheCodePage", "日本 Ω", "?? ?"},
    {"StrayByte", "a\xE9z", "a?z"},
    {"TruncatedCharacter", "a\xC3", "a?"},
    {"OverlongEncoding", "\xC0\xAF", "??"},
    {"Surrogate", "\xED\xA0\x80", "???"},
};

INSTANTIATE_TEST_SUITE_P(Texts, ConvertsToWindows1252, testing::ValuesIn(kAnsi),
                         [](const auto& info) { return std::string(info.param.name); });

struct LocaleCase {
    const char* name;
    const char* locale;
    std::uint32_t lcid;
    std::uint32_t primary;
    std::uint32_t sub;
};

class LocaleIdentifier : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleIdentifier, ComesFromTheTable) {
    const std::uint32_t lcid = lcidForLocaleName(GetParam().locale);
    EXPECT_EQ(lcid, GetParam().lcid);
    EXPECT_EQ(primaryLangId(lcid), GetParam().primary);
    EXPECT_EQ(subLangId(lcid), GetParam().sub);
}

const LocaleCase kLocales[] = {
    {"France", "fr_FR.UTF-8", 0x040C, 0x0C, 0x01},
    {"Quebec", "fr_CA.utf8", 0x0C0C, 0x0C, 0x03},
    {"Switzerland", "fr_CH", 0x100C, 0x0C, 0x04},
    {"UnitedStates", "en_US.UTF-8", 0x0409, 0x09, 0x01},
    {"Germany", "de_DE@euro", 0x0407, 0x07, 0x01},
    {"Spain", "es_ES.ISO-8859-1", 0x0C0A, 0x0A, 0x03},
    {"C", "C", 0x007F, 0x7F, 0x00},
    {"CUtf8", "C.UTF-8", 0x007F, 0x7F, 0x00},
    {"Posix", "POSIX", 0x007F, 0x7F, 0x00},
    {"UnknownTerritory", "fr_XX.UTF-8", 0x0000, 0x00, 0x00},
    {"LanguageOnly", "fr", 0x0000, 0x00, 0x00},
    {"Empty", "", 0x0000, 0x00, 0x00},
};

INSTANTIATE_TEST_SUITE_P(Locales, LocaleIdentifier, testing::ValuesIn(kLocales),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
