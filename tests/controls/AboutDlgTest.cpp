// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The About box: its texts, its picture and the picture's link.
#include "framework/ShellHelpers.h"
#include "controls/CAboutDlg.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"

#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

class AboutDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void showsVersionPictureAndLinksToTheWebSite() {
        CScriptedUi ui;
        CAboutDlg dlg;
        ui.shellResults = {SHELL_OK, SHELL_ERROR_FILE_NOT_FOUND};
        ui.modalActions.push_back([&](QWidget* w) {
            auto guard = qScopeGuard([&] { if (w->isVisible()) dlg.EndDialog(-1); });
            QCOMPARE(w->windowTitle(), QStringLiteral("About Fernwick"));
            auto* version = dlg.GetItem<QLabel>(IDC_ABOUT_VERSION);
            QVERIFY(version);
            QCOMPARE(version->text(), QStringLiteral("Fernwick Version 2.0a"));
            QVERIFY(dlg.m_picture);
            QCOMPARE(dlg.m_picture->GetDib().GetWidth(), 149);
            QCOMPARE(dlg.m_picture->GetDib().GetHeight(), 154);

            // The hand over the picture only.
            QCOMPARE(dlg.m_picture->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(dlg.m_picture->cursor().hotSpot(), QPoint(10, 0));
            QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);

            QTest::mouseClick(dlg.m_picture, Qt::LeftButton);
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].kind, std::string("shell"));
            QCOMPARE(ui.shown[0].text, std::string(kWebSiteUrl));
            QVERIFY(w->isVisible()); // the box stays open

            QTest::mouseClick(dlg.m_picture, Qt::RightButton); // not a link click
            QCOMPARE(ui.shown.size(), size_t(1));
            QTest::mouseClick(dlg.m_picture, Qt::LeftButton); // the browser is missing
            QCOMPARE(ui.shown.back().text,
                     std::string("It seems that your default Web browser is not properly set up."));
            QVERIFY(w->isVisible());

            dlg.GetItem<QPushButton>(IDC_OK)->click();
        });
        QCOMPARE(dlg.DoModal(), IDOK);
    }
};

QTEST_MAIN(AboutDlgTest)
#include "AboutDlgTest.moc"
