#pragma once

#include "framework/CPropertyPage.h"

// The last page of the wizard, where found files are selected and disposed of. This version
// holds its place in the wizard only: it lists nothing and says so.
class CDeletePage : public CPropertyPage {
public:
    CDeletePage();
    bool OnSetActive() override;
};
