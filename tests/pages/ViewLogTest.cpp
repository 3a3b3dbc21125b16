// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/WinTypes.h"
#include "pages/ViewLog.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtTest/QtTest>

class ViewLogTest : public QObject {
    Q_OBJECT

private slots:
    void viewLogOpensTheLogAndReportsFailure() {
        ScopedTestHome home;
        CScriptedUi ui;
        ui.shellResults = {SHELL_OK, SHELL_ERROR_NO_ASSOCIATION};
        ViewLog(nullptr);
        QCOMPARE(ui.shown.size(), size_t(1));
        QCOMPARE(ui.shown[0].text, home.programDir() + "fwlog.txt");
        ViewLog(nullptr);
        QCOMPARE(ui.shown.back().text,
                 "Unable to open log file '" + home.programDir() + "fwlog.txt'.  Error 31");
        QCOMPARE(ui.shown.back().caption, std::string("Error"));
    }
};

QTEST_MAIN(ViewLogTest)
#include "ViewLogTest.moc"
