#include "engine/results/formats/TextOutput.h"
#include "engine/results/SavedResults.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

using namespace backtrail::engine;

namespace {

TEST(TextOutput, ValidUtf8AndJsonEscapes)
{
    std::string out;
    AppendJsonString(out, std::string("a\"\\\n\x01\xc3\xa9\xe2\x82\xac\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80z", 20));
    // Each byte outside a well-formed sequence as the escape of a lone surrogate.
    EXPECT_EQ(
        out,
        "\"a\\\"\\\\\\n\\u0001\xc3\xa9\xe2\x82\xac\\udced\\udca0\\udc80\\udcc0\\udcaf\\udcf4\\udc90\\udc80\\udc80z\"");
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString("[" + out + "]"));
    EXPECT_FALSE(doc.isNull());
}

// The length of the well-formed UTF-8 sequence at bytes[i], 0 when none
// starts there: the code point decoded the plain way, then overlong forms,
// surrogates and code points past U+10FFFF refused.
std::size_t PlainSequenceLength(std::string_view bytes, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (length <= 1)
        return length;
    if (i + length > bytes.size())
        return 0; // cut short
    std::uint32_t point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if (next >> 6 != 2)
            return 0;
        point = point << 6 | (next & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
        return 0;
    return length;
}

// Escaping goes a run of plain bytes at a time; on random bytes it must equal
// escaping each character at a time, each byte outside well-formed UTF-8 as a
// lone surrogate, parse as JSON, and read back as the same bytes.
TEST(TextOutput, JsonEscapesOfRandomBytesMatchOneCharacterAtATime)
{
    std::mt19937 random(20261209);
    const std::string alphabet = std::string("ab/?=\"\\\n\r\t\x01\x1f\x7f ") + std::string(1, '\0')
        + "\xc3\xa9\xe2\x82\xac\xed\xa0\xf4\x90\xc0\xff\xf0\x9f\x98\x80";
    for (int round = 0; round < 2000; ++round) {
        // Long runs of plain bytes now and then, escapes anywhere among them.
        const bool plainMostly = random() % 2;
        std::string bytes(random() % 80, ' ');
        for (char& c : bytes)
            c = plainMostly && random() % 16 ? char('!' + random() % 94)
                : random() % 4               ? alphabet[random() % alphabet.size()]
                                             : char(random());
        std::string expected = "\"";
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t n = PlainSequenceLength(bytes, i);
            const char c = bytes[i];
            const auto u = static_cast<unsigned char>(c);
            char hex[8];
            if (n == 0) {
                std::snprintf(hex, sizeof hex, "\\udc%02x", u);
                expected += hex;
            } else if (n > 1) {
                expected += bytes.substr(i, n);
            } else if (c == '"' || c == '\\') {
                expected += std::string("\\") + c;
            } else if (c == '\n') {
                expected += "\\n";
            } else if (c == '\r') {
                expected += "\\r";
            } else if (c == '\t') {
                expected += "\\t";
            } else if (u < 0x20 || u == 0x7f) {
                std::snprintf(hex, sizeof hex, "\\u%04x", u);
                expected += hex;
            } else {
                expected += c;
            }
            i += n == 0 ? 1 : n;
        }
        expected += '"';
        std::string out = "prefix";
        AppendJsonString(out, bytes);
        ASSERT_EQ(out, "prefix" + expected) << round;
        const QJsonDocument read = QJsonDocument::fromJson(QByteArray::fromStdString("[" + expected + "]"));
        ASSERT_FALSE(read.isNull()) << round;
        EXPECT_EQ(ResultsTextBytes(read.array().at(0).toString()).toStdString(), bytes) << round;
    }
}

} // namespace
