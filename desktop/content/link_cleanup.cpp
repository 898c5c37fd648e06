// Character references, tabs and blanks of found links, and the followable test.
#include "desktop/content/link_cleanup.h"

#include "desktop/address/text_util.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::size_t npos = std::string_view::npos;

struct Entity {
    std::string_view name;
    int code;
};

// HTML 4.01's markup entities and the ISO 8859-1 entities of codes 160-255.
constexpr Entity kEntities[] = {
    {"quot", 34},    {"amp", 38},     {"lt", 60},      {"gt", 62},      {"nbsp", 160},
    {"iexcl", 161},  {"cent", 162},   {"pound", 163},  {"curren", 164}, {"yen", 165},
    {"brvbar", 166}, {"sect", 167},   {"uml", 168},    {"copy", 169},   {"ordf", 170},
    {"laquo", 171},  {"not", 172},    {"shy", 173},    {"reg", 174},    {"macr", 175},
    {"deg", 176},    {"plusmn", 177}, {"sup2", 178},   {"sup3", 179},   {"acute", 180},
    {"micro", 181},  {"para", 182},   {"middot", 183}, {"cedil", 184},  {"sup1", 185},
    {"ordm", 186},   {"raquo", 187},  {"frac14", 188}, {"frac12", 189}, {"frac34", 190},
    {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},  {"Atilde", 195},
    {"Auml", 196},   {"Aring", 197},  {"AElig", 198},  {"Ccedil", 199}, {"Egrave", 200},
    {"Eacute", 201}, {"Ecirc", 202},  {"Euml", 203},   {"Igrave", 204}, {"Iacute", 205},
    {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},    {"Ntilde", 209}, {"Ograve", 210},
    {"Oacute", 211}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},   {"times", 215},
    {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},  {"Uuml", 220},
    {"Yacute", 221}, {"THORN", 222},  {"szlig", 223},  {"agrave", 224}, {"aacute", 225},
    {"acirc", 226},  {"atilde", 227}, {"auml", 228},   {"aring", 229},  {"aelig", 230},
    {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},  {"euml", 235},
    {"igrave", 236}, {"iacute", 237}, {"icirc", 238},  {"iuml", 239},   {"eth", 240},
    {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},  {"otilde", 245},
    {"ouml", 246},   {"divide", 247}, {"oslash", 248}, {"ugrave", 249}, {"uacute", 250},
    {"ucirc", 251},  {"uuml", 252},   {"yacute", 253}, {"thorn", 254},  {"yuml", 255},
};

// Names are 2 to 6 letters long (and digits in "frac14", "sup2").
constexpr std::size_t kLongestName = 6;

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsCharacter(std::uint32_t code) {
    return code >= 32 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// A numeric reference at text[0] ("&#...;"): its length, 0 when it is none. code receives
// the number, or a value above 0x10FFFF when it is too large.
std::size_t NumericReference(std::string_view text, std::uint32_t& code) {
    if (text.size() < 4 || text[1] != '#')
        return 0;
    std::size_t i = 2;
    const bool hex = text[i] == 'x' || text[i] == 'X';
    if (hex)
        ++i;
    const std::size_t digitsStart = i;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > 0x10FFFF)
            value = 0x110000; // stays too large however many digits follow
    }
    if (i == digitsStart || i >= text.size() || text[i] != ';')
        return 0;
    code = static_cast<std::uint32_t>(value);
    return i + 1;
}

// A named entity at text[0]: its length, 0 when none.
std::size_t NamedEntity(std::string_view text, int& code) {
    const std::size_t semicolon = text.substr(0, kLongestName + 2).find(';');
    if (semicolon == npos || semicolon < 3)
        return 0;
    const std::string_view name = text.substr(1, semicolon - 1);
    for (const Entity& entity : kEntities) {
        if (entity.name == name) {
            code = entity.code;
            return semicolon + 1;
        }
    }
    return 0;
}

} // namespace

std::string CVQLinkCleanup::DecodeReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t amp = text.find('&'); amp != npos; amp = text.find('&', pos)) {
        out.append(text.substr(pos, amp - pos));
        const std::string_view rest = text.substr(amp);
        std::uint32_t number = 0;
        int named = 0;
        if (const std::size_t length = NumericReference(rest, number); length > 0) {
            if (IsCharacter(number))
                AppendUtf8(out, number);
            pos = amp + length;
        } else if (const std::size_t length2 = NamedEntity(rest, named); length2 > 0) {
            AppendUtf8(out, static_cast<std::uint32_t>(named));
            pos = amp + length2;
        } else {
            out += '&';
            pos = amp + 1;
        }
    }
    out.append(text.substr(pos));
    return out;
}

std::string CVQLinkCleanup::Clean(std::string_view link) {
    std::string text = DecodeReferences(link);
    // Tabs go, and so do the other control characters: a line break inside a link would
    // otherwise reach the request line, as browsers never let it.
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
    if (text.size() > kMaxLinkLength) {
        std::size_t cut = kMaxLinkLength;
        // Not in the middle of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return std::string(vq::TrimBlanks(text));
}

bool CVQLinkCleanup::IsFollowable(std::string_view link) {
    const std::size_t colon = link.find(':');
    if (colon == npos)
        return true;
    if (colon == 1 && ((link[0] >= 'a' && link[0] <= 'z') || (link[0] >= 'A' && link[0] <= 'Z')))
        return true; // a drive letter
    const std::string_view scheme = link.substr(0, colon);
    for (std::string_view word : {"http", "ftp", "file"})
        if (vq::FindIgnoreCase(scheme, word) != npos)
            return true;
    const std::size_t question = link.find('?');
    return question != npos && question < colon;
}
