// Text to boolean against a reading of its rule written apart from it: blanks
// around the text do not count; a decimal number is true when it is not zero
// (a number beyond what a double holds counts as no number);
// the words true and false count in any letter case; anything else is false.
//
// The first byte chooses how the rest becomes text: 0 UTF-8, 1 Latin-1,
// 2 UTF-16 code units, 3 a short text built from the bytes as picks from the
// characters that numbers and the two words are made of.

#include "FuzzSupport.h"

#include "engine/base/Settings.h"

#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using backtrail::fuzz::ByteReader;

// Unicode's White_Space characters.
bool IsBlank(char16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

bool IsWordAnyCase(std::u16string_view text, std::string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char16_t c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char16_t(c - 'A' + 'a');
        if (c != char16_t(word[i]))
            return false;
    }
    return true;
}

// A decimal number: sign, digits with at most one point (at least one digit),
// and an exponent of sign and digits. Sets `nonZero` when a digit of its
// mantissa is not zero. Returns false when the text is no such number.
bool ReadNumber(std::u16string_view text, bool& nonZero)
{
    std::size_t i = 0;
    nonZero = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            ++digits;
            nonZero = nonZero || text[i] != '0';
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

bool ReferenceTextToBool(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (IsWordAnyCase(text, "true"))
        return true;
    if (IsWordAnyCase(text, "false"))
        return false;
    bool nonZero = false;
    if (!ReadNumber(text, nonZero) || !nonZero)
        return false;
    // A number counts only as far as a double holds it: one too large for a
    // double, or one so small that it rounds to zero, is no number.
    std::string ascii;
    for (const char16_t c : text)
        ascii += char(c);
    const double value = std::strtod(ascii.c_str(), nullptr);
    return std::isfinite(value) && value != 0.0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader input(data, size);
    const std::uint8_t how = input.take() % 4;
    const std::string_view bytes = input.rest();
    QString text;
    switch (how) {
    case 0:
        text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        break;
    case 1:
        text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
        break;
    case 2: {
        std::u16string units(bytes.size() / 2, u'\0');
        if (!units.empty())
            std::memcpy(units.data(), bytes.data(), units.size() * 2);
        text = QString::fromStdU16String(units);
        break;
    }
    default: {
        static constexpr char16_t kPicks[] = u"0123456789+-.eE tTrRuUfFaAlLsS\t\u00a0\u3000xX,infINF";
        constexpr std::size_t kCount = sizeof kPicks / sizeof kPicks[0] - 1;
        for (const char byte : bytes.substr(0, 48))
            text += QChar(kPicks[static_cast<unsigned char>(byte) % kCount]);
        break;
    }
    }

    const bool got = backtrail::engine::TextToBool(text);
    const std::u16string units = text.toStdU16String();
    const bool expected = ReferenceTextToBool(units);
    if (got != expected) {
        std::fprintf(stderr, "TextToBool(\"%s\") is %d, the rule says %d\n", text.toUtf8().constData(), got, expected);
        backtrail::fuzz::Fail("TextToBool follows its rule", __FILE__, __LINE__);
    }
    // The stored form of a switch reads back as the switch.
    FUZZ_CHECK(backtrail::engine::TextToBool(backtrail::engine::BoolToText(got)) == got);
    return 0;
}
