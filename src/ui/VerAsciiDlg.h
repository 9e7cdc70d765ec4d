// "Verify ASCII Line End Conversions": the files whose line ends are about to be converted,
// each with a check box. The dialog only shows the list: the engine withdraws the unchecked
// files once it is closed with OK.
#pragma once

#include <string>
#include <vector>

#include "site/LineEndVerify.h"
#include "ui/VerifyDialog.h"

namespace ts {

class CVerAsciiDlg : public CVerifyDialog {
    Q_OBJECT
public:
    CVerAsciiDlg(const std::string& directory, const std::vector<LineEndRow>& rows,
                 QWidget* parent = nullptr);

    // One flag per row, in the order given: still checked.
    std::vector<bool> Checked() const;

private:
    size_t m_nRows;
};

}  // namespace ts
