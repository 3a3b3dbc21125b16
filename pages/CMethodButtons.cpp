// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CMethodButtons.h"

#include "dispose/DisposalMethod.h"
#include "framework/CTemplateWnd.h"
#include "pages/DestinationDialogs.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

namespace {

constexpr int kMethods[] = {METHOD_DELETE, METHOD_ZIP, METHOD_MOVE, METHOD_RECYCLE,
                            METHOD_PERMANENT_DELETE};

} // namespace

void CMethodButtons::Attach(CTemplateWnd* page, std::function<void(int)> onMethod) {
    m_pPage = page;
    m_onMethod = std::move(onMethod);
    m_edit = nullptr;
    m_browse = nullptr;
    m_prompt = nullptr;
    if (!page)
        return;
    for (int method : kMethods)
        if (auto* radio = page->GetItem<QRadioButton>(method))
            QObject::connect(radio, &QRadioButton::clicked, radio,
                             [this, method] { Apply(method); });
}

void CMethodButtons::AttachDestination(QLineEdit* edit, QPushButton* browse, QLabel* prompt) {
    m_edit = edit;
    m_browse = browse;
    m_prompt = prompt;
}

void CMethodButtons::Select(int method) {
    if (m_pPage)
        m_pPage->CheckItem(method, true);
    Apply(method);
}

void CMethodButtons::SetEnabled(bool enable) {
    if (!m_pPage)
        return;
    for (int method : kMethods)
        m_pPage->EnableItem(method, enable);
}

void CMethodButtons::Apply(int method) {
    m_nMethod = method;
    UpdateDestinationControls();
    if (m_onMethod)
        m_onMethod(method);
}

std::string CMethodButtons::DestinationPrompt(int method) {
    if (method == METHOD_ZIP)
        return "Where would you like to store your Zip file?";
    if (method == METHOD_MOVE)
        return "Where would you like to move your Deleted files to?";
    return {};
}

void CMethodButtons::UpdateDestinationControls() {
    const bool needs = m_nMethod == METHOD_ZIP || m_nMethod == METHOD_MOVE;
    for (QWidget* w : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_browse),
                       static_cast<QWidget*>(m_prompt)})
        if (w)
            w->setEnabled(needs);
    // A destination typed for one method must not silently serve another.
    if (needs && m_edit)
        m_edit->clear();
    const std::string prompt = DestinationPrompt(m_nMethod);
    if (!prompt.empty() && m_prompt)
        m_prompt->setText(QString::fromStdString(prompt));
}

void CMethodButtons::Browse(QWidget* owner) {
    std::string destination;
    if (m_nMethod == METHOD_ZIP)
        destination = AskZipFileName(owner);
    else if (m_nMethod == METHOD_MOVE)
        destination = BrowseForMoveFolder(owner);
    else
        return;
    if (m_edit)
        m_edit->setText(QString::fromStdString(destination));
}
