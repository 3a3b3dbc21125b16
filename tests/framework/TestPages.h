// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CDataExchange.h"
#include "framework/CPropertyPage.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <functional>

inline constexpr int IDC_TEST_NUMBER = 1000;
inline constexpr int IDC_TEST_CHECK = 1001;
inline constexpr int IDC_TEST_NAME = 1002;
inline constexpr int IDC_TEST_BUTTON = 1003;

// A template made in code: a number edit, a check box, a name edit and a button.
inline TemplateSetup TestTemplate(const char* caption) {
    return [caption](QWidget* w) {
        w->setWindowTitle(QString::fromUtf8(caption));
        w->resize(300, 120);
        auto* number = new QLineEdit(w);
        number->setProperty("ctrlId", IDC_TEST_NUMBER);
        number->setGeometry(10, 10, 100, 22);
        auto* check = new QCheckBox(QStringLiteral("Use it"), w);
        check->setProperty("ctrlId", IDC_TEST_CHECK);
        check->setGeometry(10, 40, 100, 22);
        auto* name = new QLineEdit(w);
        name->setProperty("ctrlId", IDC_TEST_NAME);
        name->setGeometry(120, 10, 100, 22);
        auto* button = new QPushButton(QStringLiteral("Do"), w);
        button->setProperty("ctrlId", IDC_TEST_BUTTON);
        button->setGeometry(120, 40, 60, 22);
    };
}

// A page that records what the framework did to it and does what the test asks.
class CTestPage : public CPropertyPage {
public:
    explicit CTestPage(const char* caption, std::uint32_t min = 0, std::uint32_t max = 100)
        : CPropertyPage(500, TestTemplate(caption)), m_min(min), m_max(max) {}

    std::uint32_t m_nNumber = 7;
    bool m_bCheck = false;
    std::string m_strName = "page";
    unsigned m_buttons = PSWIZB_BACK | PSWIZB_NEXT;
    int m_nInits = 0;
    int m_nActivations = 0;
    std::function<int()> onNext;
    std::function<int()> onBack;
    std::function<bool()> onFinish;
    std::function<bool()> onQueryCancel;
    std::function<void()> onButton;

    bool OnInitDialog() override {
        CPropertyPage::OnInitDialog();
        ++m_nInits;
        if (onButton)
            OnClicked(IDC_TEST_BUTTON, &CTestPage::OnButton);
        return true;
    }
    bool OnSetActive() override {
        ++m_nActivations;
        GetSheet()->SetWizardButtons(m_buttons);
        return CPropertyPage::OnSetActive();
    }
    int OnWizardNext() override { return onNext ? onNext() : 0; }
    int OnWizardBack() override { return onBack ? onBack() : 0; }
    bool OnWizardFinish() override { return onFinish ? onFinish() : true; }
    bool OnQueryCancel() override { return onQueryCancel ? onQueryCancel() : true; }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_TEST_NUMBER, m_nNumber);
        DDV_MinMaxDWord(pDX, m_nNumber, m_min, m_max);
        DDX_Check(pDX, IDC_TEST_CHECK, m_bCheck);
        DDX_Text(pDX, IDC_TEST_NAME, m_strName);
    }
    void OnButton() { onButton(); }

    QLineEdit* NumberEdit() const { return GetItem<QLineEdit>(IDC_TEST_NUMBER); }

private:
    std::uint32_t m_min, m_max;
};
