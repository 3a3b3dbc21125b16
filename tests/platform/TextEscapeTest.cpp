// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Escaping of names for the log and the preview's listing.
#include "platform/TextEscape.h"
#include "support/ListingField.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextEscape, ControlCharactersBecomeHexForBoth) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string(1, '\0'), "\\x00"},
        {"\n", "\\x0a"},
        {"\r", "\\x0d"},
        {"\t", "\\x09"},
        {"\x1b[2J", "\\x1b[2J"},
        {"\x1f", "\\x1f"},
        {"\x7f", "\\x7f"},
        {"a\nb\r\nc", "a\\x0ab\\x0d\\x0ac"},
    };
    for (const auto& [raw, escaped] : cases) {
        EXPECT_EQ(EscapeControlChars(raw), escaped) << escaped;
        EXPECT_EQ(EscapeListingField(raw), escaped) << escaped;
    }
}

TEST(TextEscape, PrintableAndNonAsciiBytesStay) {
    // Blank, tilde, quotes, UTF-8 (é, €) and stray high bytes are no control characters.
    const std::string plain = " ~\"'/tmp/\xc3\xa9t\xc3\xa9 \xe2\x82\xac.tmp \x80\x9b\xff";
    EXPECT_EQ(EscapeControlChars(plain), plain);
    EXPECT_EQ(EscapeListingField(plain), plain);
    EXPECT_EQ(EscapeControlChars(""), "");
}

TEST(TextEscape, OnlyTheListingDoublesBackslashes) {
    EXPECT_EQ(EscapeControlChars("C:\\Temp\\x0a"), "C:\\Temp\\x0a");
    EXPECT_EQ(EscapeListingField("C:\\Temp\\x0a"), "C:\\\\Temp\\\\x0a");
    // Without the doubling these two names would read the same in the listing.
    EXPECT_NE(EscapeListingField("a\\x0ab"), EscapeListingField("a\nb"));
}

TEST(TextEscape, EveryByteOfAListingFieldReadsBack) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string names[] = {all, "\\", "\\\\x0a\\", "tail\\", "a\\x41", "x\n\\n\x7f"};
    for (const std::string& name : names) {
        const std::string field = EscapeListingField(name);
        EXPECT_EQ(field.find_first_of(std::string("\t\n\r\0", 4)), std::string::npos);
        EXPECT_EQ(ReadListingField(field), name);
    }
}
