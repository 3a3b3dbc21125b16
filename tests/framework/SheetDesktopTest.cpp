// The wizard window and the seam's dialogs as a desktop user meets them: one window size for
// every page, the new page readied while the old one still shows its progress, no wait cursor
// over a window that waits for the user, and names shown as typed.
#include "TestPages.h"
#include "framework/CDialog.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "support/ScriptedUi.h"

#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QStackedWidget>

namespace {

// A page of its own template size that notes what was on screen while it was being readied.
class CSizedPage : public CPropertyPage {
public:
    CSizedPage(const char* caption, QSize size)
        : CPropertyPage(600, [caption, size](QWidget* w) {
              w->setWindowTitle(QString::fromUtf8(caption));
              w->resize(size);
              auto* label = new QLabel(QStringLiteral("Some text"), w);
              label->setProperty("ctrlId", 1);
              label->setGeometry(10, 10, 150, 20);
          }) {}
    std::function<void()> onSetActive;
    bool OnSetActive() override {
        if (onSetActive)
            onSetActive();
        return CPropertyPage::OnSetActive();
    }
};

int Run(CPropertySheet& sheet, CScriptedUi& ui, std::function<void()> action) {
    ui.modalActions.push_back([&sheet, action](QWidget*) {
        action();
        if (sheet.GetSafeHwnd() && sheet.GetSafeHwnd()->isVisible())
            sheet.EndDialog(IDCANCEL);
    });
    return sheet.DoModal();
}

bool WaitCursorShown() {
    return QApplication::overrideCursor() &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

} // namespace

class SheetDesktopTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void theWindowKeepsOneSizeOnEveryPage() {
        CScriptedUi ui;
        CSizedPage small("Small", QSize(300, 120)), tall("Tall", QSize(300, 160)),
            wide("Wide", QSize(380, 100));
        CPropertySheet sheet;
        for (CPropertyPage* p : std::initializer_list<CPropertyPage*>{&small, &tall, &wide})
            sheet.AddPage(p);
        Run(sheet, ui, [&] {
            QDialog* window = sheet.GetSafeHwnd();
            const QSize size = window->size();
            // Room for the largest page from the start, though only the first one exists yet.
            QVERIFY(tall.GetSafeHwnd() == nullptr);
            QVERIFY(small.GetSafeHwnd()->width() >= wide.GetTemplateSize().width());
            QVERIFY(small.GetSafeHwnd()->height() >= tall.GetTemplateSize().height());
            for (int page : {1, 2, 0, 2}) {
                sheet.SetActivePage(page);
                QCoreApplication::processEvents();
                QCOMPARE(window->size(), size);
                QCOMPARE(sheet.GetActivePage()->GetSafeHwnd()->size(),
                         small.GetSafeHwnd()->size());
            }
            // The user may enlarge it; the pages follow.
            const QSize pageSize = wide.GetSafeHwnd()->size();
            window->resize(size + QSize(120, 80));
            QCoreApplication::processEvents();
            QCOMPARE(wide.GetSafeHwnd()->size(), pageSize + QSize(120, 80));
            sheet.SetActivePage(0);
            QCoreApplication::processEvents();
            QCOMPARE(small.GetSafeHwnd()->size(), pageSize + QSize(120, 80));
            QCOMPARE(window->size(), size + QSize(120, 80));
        });
    }

    void theNewPageIsReadiedWhileTheOldOneIsStillShown() {
        CScriptedUi ui;
        CSizedPage first("First", QSize(300, 120)), second("Second", QSize(300, 120));
        CPropertySheet sheet;
        sheet.AddPage(&first);
        sheet.AddPage(&second);
        bool firstShown = false, secondShown = true, inputTaken = true;
        second.onSetActive = [&] {
            firstShown = first.GetSafeHwnd()->isVisible();
            secondShown = second.GetSafeHwnd()->isVisible();
            // Nothing may start another move meanwhile.
            inputTaken = first.GetSafeHwnd()->isEnabled() ||
                         sheet.GetButton(ID_WIZNEXT)->isEnabled() ||
                         sheet.GetButton(ID_WIZBACK)->isEnabled();
            sheet.GetSafeHwnd()->reject(); // Escape waits for the page to come up
        };
        Run(sheet, ui, [&] {
            sheet.PressButton(ID_WIZNEXT);
            QVERIFY(firstShown);
            QVERIFY(!secondShown);
            QVERIFY(!inputTaken);
            QCOMPARE(sheet.GetActivePage(), &second);
            QVERIFY(second.GetSafeHwnd()->isVisible());
            QVERIFY(!first.GetSafeHwnd()->isVisible());
            QVERIFY(first.GetSafeHwnd()->isEnabled());
            QVERIFY(sheet.GetSafeHwnd()->isVisible());
        });
    }

    void noWaitCursorOverDialogsThatWaitForTheUser() {
        CScriptedUi ui;
        CWaitCursor busy;
        QVERIFY(WaitCursorShown());
        bool dialogBusy = true, sheetBusy = true;
        {
            CDialog dlg(700, [](QWidget* w) { w->resize(200, 100); });
            ui.modalActions.push_back([&](QWidget*) {
                dialogBusy = QApplication::overrideCursor() != nullptr;
                dlg.EndDialog(IDOK);
            });
            QCOMPARE(dlg.DoModal(), IDOK);
        }
        QVERIFY(!dialogBusy);
        QVERIFY(WaitCursorShown());
        CTestPage page("Only");
        CPropertySheet sheet;
        sheet.AddPage(&page);
        Run(sheet, ui, [&] {
            sheetBusy = QApplication::overrideCursor() != nullptr;
            // Busy work inside the wizard shows it again, and only for its own time.
            CWaitCursor inner;
            QVERIFY(WaitCursorShown());
        });
        QVERIFY(!sheetBusy);
        QVERIFY(WaitCursorShown());
    }

    void theRealMessageBoxShowsTextAsTypedWithTheNormalCursor() {
        SetUiSeam(nullptr);
        CWaitCursor busy;
        bool plain = false, busyOverBox = true, found = false;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            found = true;
            plain = box->textFormat() == Qt::PlainText;
            busyOverBox = QApplication::overrideCursor() != nullptr;
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text().contains(QStringLiteral("x</b>")))
                    shown = label->textFormat() == Qt::PlainText ? label->text() : QString();
            box->button(QMessageBox::No)->click();
        });
        const int answer =
            MessageBox(nullptr, "Delete <b>x</b>.tmp?", "Fernwick", MB_YESNO | MB_ICONQUESTION);
        QVERIFY(found);
        QCOMPARE(answer, IDNO);
        QVERIFY(plain);
        QCOMPARE(shown, QStringLiteral("Delete <b>x</b>.tmp?"));
        QVERIFY(!busyOverBox);
        QVERIFY(WaitCursorShown());
    }

    void aTemplateLabelShowsANameAsTyped() {
        CScriptedUi ui;
        CSizedPage page("Names", QSize(300, 120));
        CPropertySheet sheet;
        sheet.AddPage(&page);
        Run(sheet, ui, [&] {
            page.SetDlgItemText(1, "<b>x</b>");
            auto* label = page.GetItem<QLabel>(1);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QCOMPARE(page.GetDlgItemText(1), std::string("<b>x</b>"));
            QVERIFY(label->sizeHint().width() >=
                    label->fontMetrics().horizontalAdvance(QStringLiteral("<b>x</b>")));
        });
    }
};

QTEST_MAIN(SheetDesktopTest)
#include "SheetDesktopTest.moc"
