// The progress of a walk over the tree, as a window or a terminal line shows it: a walk
// begins with a caption and a range, reports each directory and file it reaches, and ends.
// The directory step is where the user's cancel is read, so a walk stops between entries.
#pragma once

#include <string>

namespace ts {

class CProgress {
public:
    virtual ~CProgress() = default;
    // The window may pause before it shows; range 0 means the count is not known.
    virtual void Begin(const std::string& caption, int range) = 0;
    // True when the user cancelled.
    virtual bool SetDirectory(const std::string& path) = 0;
    // Steps the count.
    virtual void SetFile(const std::string& path) = 0;
    virtual void End() = 0;
};

}  // namespace ts
