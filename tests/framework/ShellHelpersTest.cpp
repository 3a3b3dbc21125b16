// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Per-user options and the web-site launcher.
#include "framework/Registry.h"
#include "framework/ShellHelpers.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QSettings>
#include <QtTest/QtTest>

class ShellHelpersTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_config;

    QString IniPath() const {
        return QString::fromStdString((m_config.path() / "Quenby Works" / "Fernwick.ini").string());
    }
    void WriteRaw(const char* name, const QString& value) {
        QSettings raw(IniPath(), QSettings::IniFormat);
        raw.setValue(QString::fromUtf8(name), value);
    }
    QString ReadRaw(const char* name) {
        QSettings raw(IniPath(), QSettings::IniFormat);
        return raw.value(QString::fromUtf8(name)).toString();
    }

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void missingValueReadsAsDefaultAndIsWritten() {
        std::uint32_t v = 99;
        QVERIFY(!RegReadDword(kRegFirstRun, v, 0));
        QCOMPARE(v, 0u);
        QVERIFY(QFile::exists(IniPath()));
        QCOMPARE(ReadRaw(kRegFirstRun), QStringLiteral("0"));
        QVERIFY(RegWriteDword(kRegFirstRun, 1));
        QVERIFY(RegReadDword(kRegFirstRun, v, 0));
        QCOMPARE(v, 1u);
    }

    void valuesThatAreNotDwordsReadAsDefaultAndAreRewritten() {
        const QString bad[] = {QStringLiteral("abcdefgh"), QStringLiteral("4294967296"),
                               QStringLiteral("-1"), QStringLiteral("1.5"), QString()};
        for (const QString& value : bad) {
            WriteRaw(kRegShowFolderError, value);
            std::uint32_t v = 7;
            QVERIFY2(!RegReadDword(kRegShowFolderError, v, 1), qPrintable(value));
            QCOMPARE(v, 1u);
            QCOMPARE(ReadRaw(kRegShowFolderError), QStringLiteral("1"));
        }
        WriteRaw(kRegShowFolderError, QStringLiteral("4294967295"));
        std::uint32_t v = 0;
        QVERIFY(RegReadDword(kRegShowFolderError, v, 1));
        QCOMPARE(v, 4294967295u);
    }

    void shellResultsMapToTheirMessages() {
        QCOMPARE(ShellErrorMessage(0), std::string("The operating system is out of memory or resources."));
        for (int code : {2, 3, 27})
            QCOMPARE(ShellErrorMessage(code),
                     std::string("It seems that your default Web browser is not properly set up."));
        QCOMPARE(ShellErrorMessage(5),
                 std::string("The operating system denied access to the specified file. "));
        QCOMPARE(ShellErrorMessage(31),
                 std::string("There is no application associated with the given filename extension."));
        QCOMPARE(ShellErrorMessage(32), std::string("The specified dynamic-link library was not found. "));
        for (int code : {1, 4, 6, 7, 9, 10, 12, 26, 33, 42})
            QVERIFY2(ShellErrorMessage(code).empty(), qPrintable(QString::number(code)));
    }

    void openWebSiteReportsOnlyFailures() {
        CScriptedUi ui;
        ui.shellResults = {SHELL_OK, 26, SHELL_ERROR_FILE_NOT_FOUND};
        OpenWebSite(nullptr);
        OpenWebSite(nullptr);
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.shown[0].text, std::string(kWebSiteUrl));
        OpenWebSite(nullptr);
        QCOMPARE(ui.shown.size(), size_t(4));
        QCOMPARE(ui.shown[3].text, std::string("It seems that your default Web browser is not properly set up."));
        QCOMPARE(ui.shown[3].caption, std::string("Fernwick"));
        QCOMPARE(ui.shown[3].type, MB_OK);
    }

    void realShellOpenOfAMissingFileFails() {
        ScopedTestHome home;
        QCOMPARE(TheUi().ShellOpen(nullptr, home.programDir() + "no-such-file.txt"),
                 SHELL_ERROR_FILE_NOT_FOUND);
    }
};

QTEST_MAIN(ShellHelpersTest)
#include "ShellHelpersTest.moc"
