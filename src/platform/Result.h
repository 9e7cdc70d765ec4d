// The outcome of a file-system operation that can fail: true on success, otherwise the errno
// of that failure, so that a caller can say why without asking the file system afterwards
// (another call may have run in between).
#pragma once

#include <cerrno>

namespace ts {

class CResult {
public:
    static CResult Ok() { return CResult(0); }
    // A failure; a cause of 0 becomes EIO so that a failure never reads as success.
    static CResult Fail(int nErr) { return CResult(nErr != 0 ? nErr : EIO); }
    // A failure whose cause errno holds now.
    static CResult FromErrno() { return Fail(errno); }

    // Implicit, so that call sites written for bool (`return fs.Remove(p);`, `bool ok = ...`)
    // keep working unchanged.
    operator bool() const { return m_nErr == 0; }
    // 0 on success.
    int Error() const { return m_nErr; }

private:
    explicit CResult(int nErr) : m_nErr(nErr) {}
    int m_nErr;
};

}  // namespace ts
