// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/DisposalMethod.h"

const char* MethodVerb(int code) {
    switch (code) {
    case METHOD_DELETE:
        return "Deleted";
    case METHOD_ZIP:
        return "Zipped";
    case METHOD_MOVE:
        return "Moved";
    case METHOD_RECYCLE:
        return "Moved to Recycle Bin";
    case METHOD_PERMANENT_DELETE:
        return "Permanently Deleted";
    default:
        return "";
    }
}

bool MethodNeedsDestination(int code) {
    return code == METHOD_ZIP || code == METHOD_MOVE;
}

std::string GroupThousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    // The first group is the short one: 1,234,567 has 1 digit before the first comma.
    size_t lead = digits.size() % 3;
    if (lead == 0)
        lead = 3;
    out.append(digits, 0, lead);
    for (size_t i = lead; i < digits.size(); i += 3) {
        out += ',';
        out.append(digits, i, 3);
    }
    return out;
}

std::string GetFileNameWithExt(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
