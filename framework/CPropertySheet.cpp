// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/CPropertySheet.h"

#include "framework/CPropertyPage.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QFrame>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>

// The sheet's window: Escape and the close button mean Cancel.
class CSheetWindow : public QDialog {
public:
    CSheetWindow(CPropertySheet* sheet, QWidget* parent) : QDialog(parent), m_sheet(sheet) {}
    void reject() override {
        // A page being brought up (the selection page copying the results) finishes first.
        if (!m_sheet->m_bActivating)
            m_sheet->OnCancel();
    }

private:
    CPropertySheet* m_sheet;
};

namespace {

// Drops the user's keys and clicks for one window while it lasts; painting goes on.
class CInputBlock : public QObject {
public:
    explicit CInputBlock(QWidget* window) : m_window(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CInputBlock() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            break;
        default:
            return false;
        }
        auto* w = qobject_cast<QWidget*>(receiver);
        return w && m_window && w->window() == m_window;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

CPropertySheet::CPropertySheet(std::string caption, QWidget* parent)
    : m_strCaption(std::move(caption)), m_pParentWnd(parent) {}

CPropertySheet::~CPropertySheet() { delete m_pDlg.data(); }

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
    page->m_pSheet = this;
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    auto it = std::find(m_pages.begin(), m_pages.end(), page);
    return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(m_nActive); }

QDialog* CPropertySheet::GetSafeHwnd() const { return m_pDlg; }

QAbstractButton* CPropertySheet::GetButton(int id) const {
    switch (id) {
    case ID_WIZBACK:
        return m_pBack;
    case ID_WIZNEXT:
        return m_pNext;
    case ID_WIZFINISH:
        return m_pFinish;
    case IDCANCEL:
        return m_pCancel;
    default:
        return nullptr;
    }
}

int CPropertySheet::DoModal() {
    // The wizard waits for the user: no wait cursor over it.
    CWaitCursorPause pause;
    QWidget* parent = m_pParentWnd ? m_pParentWnd : QApplication::activeWindow();
    auto* dlg = new CSheetWindow(this, parent);
    m_pDlg = dlg;
    m_pStack = new QStackedWidget;
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* back = new QPushButton(QStringLiteral("< &Back"));
    auto* next = new QPushButton(QStringLiteral("&Next >"));
    auto* finish = new QPushButton(QStringLiteral("Finish"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    for (QPushButton* b : {back, next, finish, cancel})
        b->setAutoDefault(false);
    m_pBack = back;
    m_pNext = next;
    m_pFinish = finish;
    m_pCancel = cancel;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back);
    buttons->addWidget(next);
    buttons->addWidget(finish);
    buttons->addSpacing(8);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(dlg);
    layout->addWidget(m_pStack, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);
    // One size for every page: the largest template's, so the window does not jump when a
    // larger page comes up. The user may enlarge it; the pages follow.
    QSize pageSize;
    for (CPropertyPage* page : m_pages)
        pageSize = pageSize.expandedTo(page->GetTemplateSize());
    m_pStack->setMinimumSize(pageSize);
    QObject::connect(back, &QPushButton::clicked, dlg, [this] { OnBack(); });
    QObject::connect(next, &QPushButton::clicked, dlg, [this] { OnNext(); });
    QObject::connect(finish, &QPushButton::clicked, dlg, [this] { OnFinish(); });
    QObject::connect(cancel, &QPushButton::clicked, dlg, [this] { OnCancel(); });

    for (CPropertyPage* page : m_pages)
        page->m_pSheet = this;
    m_nActive = -1;
    m_nResult = IDCANCEL;
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    SetActivePage(0);

    QTimer::singleShot(0, dlg, [dlg] { TheUi().ModalStarted(dlg); });
    dlg->exec();

    for (CPropertyPage* page : m_pages)
        page->DestroyPageWindow();
    m_nActive = -1;
    m_pBack = m_pNext = m_pFinish = m_pCancel = nullptr;
    m_pStack = nullptr;
    delete m_pDlg.data();
    return m_nResult;
}

bool CPropertySheet::SetActivePage(CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }

bool CPropertySheet::SetActivePage(int index) {
    CPropertyPage* target = GetPage(index);
    if (!target || !m_pStack)
        return false;
    if (index == m_nActive)
        return true;
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive())
        return false;
    if (!target->GetSafeHwnd()) {
        QWidget* w = target->CreatePageWindow();
        m_pStack->addWidget(w);
        m_nActive = index; // the page's own initialisation may ask for its sheet's state
        target->OnInitDialog();
    }
    m_nActive = index;
    m_bJumped = true;
    // The new page is made ready while the old one is still shown, so what the old page shows
    // of the work (the scan page's progress while the selection page copies the results) can
    // be seen. Meanwhile the window takes no input: no click may start another move or a
    // scan under the copy.
    const bool wasActivating = m_bActivating;
    m_bActivating = true;
    {
        const CInputBlock block(m_pDlg);
        target->OnSetActive();
    }
    m_bActivating = wasActivating;
    // The page may have moved on to another one itself.
    if (m_nActive != index || !m_pStack || !target->GetSafeHwnd())
        return true;
    m_pStack->setCurrentWidget(target->GetSafeHwnd());
    // As in a dialog, the page's first control takes the focus, so a keyboard user can type
    // into the page at once; the buttons below stay a Tab away.
    target->FocusFirstControl();
    UpdateTitle();
    return true;
}

void CPropertySheet::SetWizardButtons(unsigned flags) {
    if (!m_pBack)
        return;
    m_pBack->setEnabled(flags & PSWIZB_BACK);
    const bool finish = flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH);
    m_pNext->setVisible(!finish);
    m_pNext->setEnabled(flags & PSWIZB_NEXT);
    m_pFinish->setVisible(finish);
    m_pFinish->setEnabled(flags & PSWIZB_FINISH);
    // Enter presses whichever of the two is in place.
    static_cast<QPushButton*>(finish ? m_pFinish : m_pNext)->setDefault(true);
    static_cast<QPushButton*>(finish ? m_pNext : m_pFinish)->setDefault(false);
}

void CPropertySheet::UpdateTitle() {
    if (!m_pDlg)
        return;
    std::string title = m_strCaption;
    if (title.empty())
        if (CPropertyPage* page = GetActivePage())
            title = page->GetCaption();
    m_pDlg->setWindowTitle(QString::fromStdString(title));
}

void CPropertySheet::PressButton(int id) {
    switch (id) {
    case ID_WIZBACK:
        OnBack();
        break;
    case ID_WIZNEXT:
        OnNext();
        break;
    case ID_WIZFINISH:
        OnFinish();
        break;
    case IDCANCEL:
        OnCancel();
        break;
    default:
        break;
    }
}

void CPropertySheet::OnNext() {
    CPropertyPage* page = GetActivePage();
    if (!page || !m_pNext->isEnabled() || !m_pNext->isVisible())
        return;
    m_bJumped = false;
    const int rc = page->OnWizardNext();
    // A handler may have jumped, or ended the wizard itself.
    if (m_bJumped || rc == -1 || !m_pDlg || !m_pDlg->isVisible())
        return;
    SetActivePage(m_nActive + 1);
}

void CPropertySheet::OnBack() {
    CPropertyPage* page = GetActivePage();
    if (!page || !m_pBack->isEnabled())
        return;
    m_bJumped = false;
    const int rc = page->OnWizardBack();
    // A handler may have jumped, or ended the wizard itself.
    if (m_bJumped || rc == -1 || !m_pDlg || !m_pDlg->isVisible())
        return;
    SetActivePage(m_nActive - 1);
}

void CPropertySheet::OnFinish() {
    CPropertyPage* page = GetActivePage();
    if (!page || !m_pFinish->isEnabled() || !m_pFinish->isVisible())
        return;
    if (page->OnWizardFinish())
        EndDialog(ID_WIZFINISH);
}

void CPropertySheet::OnCancel() {
    CPropertyPage* page = GetActivePage();
    if (page && !page->OnQueryCancel())
        return;
    if (page)
        page->OnCancel();
    EndDialog(IDCANCEL);
}

void CPropertySheet::EndDialog(int result) {
    m_nResult = result;
    if (m_pDlg)
        m_pDlg->done(result);
}
