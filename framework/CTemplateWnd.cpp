// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/CTemplateWnd.h"

#include "framework/CDataExchange.h"
#include "framework/TemplateLayout.h"

#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>

namespace {
const char* const kCtrlIdProperty = "ctrlId";
}

int GetDlgCtrlID(const QWidget* control) {
    if (!control)
        return 0;
    const QVariant v = control->property(kCtrlIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

CTemplateWnd::CTemplateWnd(int templateId, TemplateSetup setup)
    : m_nIDTemplate(templateId), m_setup(std::move(setup)) {}

CTemplateWnd::~CTemplateWnd() { DestroyWindow(); }

QWidget* CTemplateWnd::CreateFromTemplate(QWidget* window) {
    m_pWnd = window;
    if (m_setup)
        m_setup(window);
    FitTemplateToFont(window);
    IndexControls();
    return window;
}

QSize CTemplateWnd::GetTemplateSize() const {
    QWidget scratch;
    if (m_setup)
        m_setup(&scratch);
    FitTemplateToFont(&scratch);
    return scratch.size();
}

void CTemplateWnd::IndexControls() {
    m_controls.clear();
    if (!m_pWnd)
        return;
    for (QWidget* child : m_pWnd->findChildren<QWidget*>()) {
        const int id = GetDlgCtrlID(child);
        if (id != 0 && !m_controls.contains(id))
            m_controls.insert(id, child);
    }
}

void CTemplateWnd::DestroyWindow() {
    m_controls.clear();
    if (m_pWnd) {
        QWidget* w = m_pWnd;
        m_pWnd = nullptr;
        delete w;
    }
}

QWidget* CTemplateWnd::GetDlgItem(int id) const {
    auto it = m_controls.constFind(id);
    return it == m_controls.constEnd() ? nullptr : it->data();
}

bool CTemplateWnd::UpdateData(bool bSaveAndValidate) {
    if (!m_pWnd)
        return false;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

void CTemplateWnd::DoDataExchange(CDataExchange*) {}

std::string CTemplateWnd::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text().toStdString();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText().toStdString();
    return {};
}

void CTemplateWnd::SetDlgItemText(int id, const std::string& text) {
    QWidget* w = GetDlgItem(id);
    const QString t = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(t);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(t);
}

void CTemplateWnd::FocusFirstControl() const {
    QWidget* window = m_pWnd;
    if (!window)
        return;
    const auto takes = [window](QWidget* w) {
        return w && w != window && window->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
               w->isEnabled() && w->isVisibleTo(window);
    };
    if (QWidget* now = QApplication::focusWidget(); now && window->isAncestorOf(now))
        return;
    if (QWidget* chosen = window->focusWidget(); takes(chosen)) {
        chosen->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The focus chain of a window made from a template follows the template's tab order.
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if (takes(w)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
}

void CTemplateWnd::EnableItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id))
        w->setEnabled(enable);
}

bool CTemplateWnd::IsItemChecked(int id) const {
    auto* b = GetItem<QAbstractButton>(id);
    return b && b->isChecked();
}

void CTemplateWnd::CheckItem(int id, bool check) {
    if (auto* b = GetItem<QAbstractButton>(id))
        b->setChecked(check);
}

void CTemplateWnd::ConnectClicked(int id, std::function<void()> handler) {
    if (auto* b = GetItem<QAbstractButton>(id))
        QObject::connect(b, &QAbstractButton::clicked, b, [h = std::move(handler)] { h(); });
}
