// "Verify ASCII Line End Conversions": the files whose line ends are about to be converted,
// each with a check box. OK withdraws the unchecked files; the dialog ends with the number of
// the VERIFY_ASCII_ results (none left, some left, cancelled).
#pragma once

#include <vector>

#include "site/LineEndVerify.h"
#include "ui/VerifyDialog.h"

namespace ts {

class CDirNode;
class CRunContext;

class CVerAsciiDlg : public CVerifyDialog {
    Q_OBJECT
public:
    CVerAsciiDlg(CRunContext& ctx, CDirNode& top, QWidget* parent = nullptr);

public slots:
    void accept() override;
    void reject() override;

private:
    CRunContext& m_ctx;
    std::vector<LineEndRow> m_rows;
};

}  // namespace ts
