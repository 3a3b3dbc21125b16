#include "pages/CDeletePage.h"

#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "res/resource.h"
#include "ui_dlg134_delete.h"

CDeletePage::CDeletePage() : CPropertyPage(IDD_DELETE, FromForm<Ui::Dlg134Delete>()) {}

bool CDeletePage::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}
