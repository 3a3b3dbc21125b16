// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/TextEscape.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

std::string Escape(std::string_view text, bool backslash) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsControl(c)) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else if (backslash && c == '\\') {
            out += "\\\\";
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace

std::string EscapeControlChars(std::string_view text) { return Escape(text, false); }

std::string EscapeListingField(std::string_view text) { return Escape(text, true); }
