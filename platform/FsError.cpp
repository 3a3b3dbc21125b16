// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/FsError.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

std::string ErrorText(int error) {
    char buf[256];
    // The GNU strerror_r returns the text, which may or may not be in buf.
    return ::strerror_r(error, buf, sizeof buf);
}

FsError FsError::Told(int code, std::string text) {
    FsError e(code != 0 ? code : EIO, nullptr, true);
    e.m_told = std::move(text);
    return e;
}

std::string FsError::Text() const {
    if (m_code == 0)
        return {};
    if (!m_told.empty())
        return m_told;
    if (m_refusal)
        return Wording();
    if (m_wording)
        return std::string(m_wording) + ": " + ErrorText(m_code);
    return ErrorText(m_code);
}

FsError NotRegularFile(unsigned mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISLNK(mode))
        return FsError::Refused(ELOOP, refusal::kLink);
    return FsError::Refused(EINVAL, refusal::kNotRegular);
}

bool IsChangedFile(const FsError& error) {
    const char* w = error.Wording();
    return error.IsRefusal() && (w == refusal::kReplaced || w == refusal::kRewritten ||
                                 w == refusal::kGone || w == refusal::kOtherFileSystem);
}
