// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

// The one way an operation of the core says that it failed: the errno and, where it helps, a
// fixed wording. A refusal is one of our own checks (a link that is never followed, a file
// changed since it was looked at) and its wording says it all; any other failure is the
// system's, optionally named by the step that failed ("writing the copy failed: No space left
// on device"). Wordings are fixed texts, so the same check reads the same wherever it is made.
// A failure whose words are only known at the time (what the crontab program printed, which
// process holds a file) is told: its text says it all, like a refusal's.
//
// An operation returns it and hands what it made through an out parameter; a default FsError
// (false) is success.
class FsError {
public:
    FsError() = default;

    // A failure of the system: its text, after the step's wording when there is one.
    static FsError System(int code, const char* step = nullptr) { return {code, step, false}; }
    // One of our own checks refused: the wording is the whole text.
    static FsError Refused(int code, const char* wording) { return {code, wording, true}; }
    // A failure in words made at the time; code is kept for callers that tell causes apart.
    static FsError Told(int code, std::string text);

    explicit operator bool() const { return m_code != 0; }
    int Code() const { return m_code; }
    bool IsRefusal() const { return m_refusal; }
    // The fixed wording, or "" (a told failure has none).
    const char* Wording() const { return m_wording ? m_wording : ""; }
    // For the log: "it is a symbolic link, which is never followed", "No such file or
    // directory", "writing the copy failed: No space left on device".
    std::string Text() const;

    bool operator==(const FsError&) const = default;

private:
    FsError(int code, const char* wording, bool refusal)
        : m_code(code), m_wording(wording), m_refusal(refusal) {}

    int m_code = 0;
    const char* m_wording = nullptr;
    bool m_refusal = false;
    std::string m_told;
};

// The system's description of an errno value, e.g. "No such file or directory".
std::string ErrorText(int error);

// The fixed wordings of the checks every file operation makes. Arrays, so that each has one
// address in the whole program and a refusal can be told by its wording.
namespace refusal {
inline constexpr char kLink[] = "it is a symbolic link, which is never followed";
inline constexpr char kLinkOnPath[] =
    "a folder on its path is a symbolic link, which is never followed";
inline constexpr char kNotFolderOnPath[] = "a folder on its path is not a folder";
inline constexpr char kNotRegular[] = "it is not a regular file";
inline constexpr char kNotAbsolute[] = "it is not an absolute path to a file";
inline constexpr char kClimbs[] = "its path climbs with \"..\", which is never resolved";
inline constexpr char kReplaced[] = "it is another file now";
inline constexpr char kRewritten[] = "its size or last-write time is not what it was";
inline constexpr char kGone[] = "it is no longer there";
inline constexpr char kOtherFileSystem[] = "its folder is on another file system now";
inline constexpr char kNotSeen[] = "it could not be looked at when it was found";
inline constexpr char kNameTaken[] = "the destination already has a file of that name";
inline constexpr char kStopped[] =
    "the copy was stopped before it was complete; the original was kept";
} // namespace refusal

// The failure for a name that, looked at without following it, is not a regular file: a
// symbolic link or anything else.
FsError NotRegularFile(unsigned mode);

// True for the refusals that mean the file is not the one that was looked at before.
bool IsChangedFile(const FsError& error);
