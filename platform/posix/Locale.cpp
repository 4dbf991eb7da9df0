#include "platform/Locale.h"
#include "platform/Utf8.h"

#include <array>
#include <clocale>

namespace vimora::platform {

namespace {

struct LocaleId {
    std::string_view name;
    std::uint16_t lcid;
};

constexpr auto kLocaleIds = std::to_array<LocaleId>({
    {"af_ZA", 0x0436}, {"ar_AE", 0x3801}, {"ar_DZ", 0x1401}, {"ar_EG", 0x0C01}, {"ar_MA", 0x1801},
    {"ar_SA", 0x0401}, {"ar_TN", 0x1C01}, {"be_BY", 0x0423}, {"bg_BG", 0x0402}, {"br_FR", 0x047E},
    {"ca_ES", 0x0403}, {"co_FR", 0x0483}, {"cs_CZ", 0x0405}, {"cy_GB", 0x0452}, {"da_DK", 0x0406},
    {"de_AT", 0x0C07}, {"de_CH", 0x0807}, {"de_DE", 0x0407}, {"de_LI", 0x1407}, {"de_LU", 0x1007},
    {"el_GR", 0x0408}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_GB", 0x0809}, {"en_IE", 0x1809},
    {"en_IN", 0x4009}, {"en_NZ", 0x1409}, {"en_US", 0x0409}, {"en_ZA", 0x1C09}, {"es_AR", 0x2C0A},
    {"es_CL", 0x340A}, {"es_CO", 0x240A}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_US", 0x540A},
    {"et_EE", 0x0425}, {"eu_ES", 0x042D}, {"fa_IR", 0x0429}, {"fi_FI", 0x040B}, {"fr_BE", 0x080C},
    {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_FR", 0x040C}, {"fr_LU", 0x140C}, {"fr_MC", 0x180C},
    {"ga_IE", 0x083C}, {"gl_ES", 0x0456}, {"he_IL", 0x040D}, {"hi_IN", 0x0439}, {"hr_HR", 0x041A},
    {"hu_HU", 0x040E}, {"id_ID", 0x0421}, {"is_IS", 0x040F}, {"it_CH", 0x0810}, {"it_IT", 0x0410},
    {"ja_JP", 0x0411}, {"kk_KZ", 0x043F}, {"ko_KR", 0x0412}, {"lb_LU", 0x046E}, {"lt_LT", 0x0427},
    {"lv_LV", 0x0426}, {"ms_MY", 0x043E}, {"mt_MT", 0x043A}, {"nb_NO", 0x0414}, {"nl_BE", 0x0813},
    {"nl_NL", 0x0413}, {"nn_NO", 0x0814}, {"oc_FR", 0x0482}, {"pl_PL", 0x0415}, {"pt_BR", 0x0416},
    {"pt_PT", 0x0816}, {"ro_RO", 0x0418}, {"ru_RU", 0x0419}, {"sk_SK", 0x041B}, {"sl_SI", 0x0424},
    {"sq_AL", 0x041C}, {"sv_FI", 0x081D}, {"sv_SE", 0x041D}, {"sw_KE", 0x0441}, {"ta_IN", 0x0449},
    {"th_TH", 0x041E}, {"tr_TR", 0x041F}, {"uk_UA", 0x0422}, {"ur_PK", 0x0420}, {"vi_VN", 0x042A},
    {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_TW", 0x0404},
});

// The characters of Windows-1252 bytes 0x80 to 0x9F; 0 where the code page leaves the byte to the
// C1 control character of the same number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char ansiCharacter(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c || (kHighControls[i] == 0 && c == 0x80 + i)) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

// Decodes one UTF-8 character at the start of `text` and removes it; U+FFFD stands for a byte
// that does not begin a well-formed character, and that byte alone is removed.
char32_t takeCharacter(std::string_view& text) {
    const Utf8Character character = decodeUtf8(text);
    if (character.length == 0) {
        text.remove_prefix(1);
        return 0xFFFD;
    }
    text.remove_prefix(character.length);
    return character.code;
}

std::string formatTime(std::time_t time, const char* format) {
    std::tm local{};
    localtime_r(&time, &local);
    std::array<char, 128> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), format, &local);
    return {text.data(), length};
}

} // namespace

std::uint32_t lcidForLocaleName(std::string_view name) {
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") {
        return kLocaleInvariant;
    }
    for (const LocaleId& id : kLocaleIds) {
        if (id.name == name) {
            return id.lcid;
        }
    }
    return kLocaleNeutral;
}

std::uint32_t userDefaultLcid() {
    const char* name = std::setlocale(LC_NUMERIC, nullptr);
    return lcidForLocaleName(name != nullptr ? name : "C");
}

std::string formatShortDate(std::time_t time) {
    return formatTime(time, "%x");
}

std::string formatLongTime(std::time_t time) {
    return formatTime(time, "%X");
}

std::string toAnsi(std::string_view text) {
    std::string ansi;
    ansi.reserve(text.size());
    while (!text.empty()) {
        ansi += ansiCharacter(takeCharacter(text));
    }
    return ansi;
}

} // namespace vimora::platform
