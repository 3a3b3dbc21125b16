// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/UiSeam.h"
#include "framework/WinTypes.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A seam for tests: answers come from queues set up by the test, and everything that would
// have been shown is recorded. Installed for its lifetime.
class CScriptedUi : public CUiSeam {
public:
    struct Shown {
        std::string kind; // "message", "open", "folder", "shell", "text"
        std::string text; // message text, title, or shell target
        std::string caption;
        unsigned type = 0;
    };

    CScriptedUi() { SetUiSeam(this); }
    ~CScriptedUi() override { SetUiSeam(nullptr); }

    std::deque<int> messageAnswers;                       // default: IDOK
    std::deque<std::optional<std::string>> fileAnswers;   // default: cancelled
    std::deque<std::optional<std::string>> folderAnswers; // default: cancelled
    std::deque<int> shellResults;                         // default: SHELL_OK
    // Run, in order, one per modal dialog or sheet once its loop runs.
    std::deque<std::function<void(QWidget*)>> modalActions;
    std::vector<Shown> shown;

    int MessageBox(QWidget*, const std::string& text, const std::string& caption,
                   unsigned type) override {
        shown.push_back({"message", text, caption, type});
        return Pop(messageAnswers, IDOK);
    }
    std::optional<std::string> GetOpenFileName(QWidget*, const std::string& title,
                                               const std::string&, const std::string&,
                                               bool) override {
        shown.push_back({"open", title, {}, 0});
        return Pop(fileAnswers, std::optional<std::string>());
    }
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string& title,
                                               const std::string&) override {
        shown.push_back({"folder", title, {}, 0});
        return Pop(folderAnswers, std::optional<std::string>());
    }
    int ShellOpen(QWidget*, const std::string& target) override {
        shown.push_back({"shell", target, {}, 0});
        return Pop(shellResults, SHELL_OK);
    }
    int OpenAsText(QWidget*, const std::string& path) override {
        shown.push_back({"text", path, {}, 0});
        return Pop(shellResults, SHELL_OK);
    }
    void ModalStarted(QWidget* window) override {
        if (modalActions.empty())
            return;
        auto action = std::move(modalActions.front());
        modalActions.pop_front();
        action(window);
    }

    // The messages shown, as text only.
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (const Shown& s : shown)
            if (s.kind == "message")
                m.push_back(s.text);
        return m;
    }

private:
    template <class T, class D> static T Pop(std::deque<T>& q, D fallback) {
        if (q.empty())
            return T(fallback);
        T v = std::move(q.front());
        q.pop_front();
        return v;
    }
};
