#pragma once
#include <string>

namespace lw {

// Handing a finished output on. The window brings the desktop versions; tests record calls.
class IHandOff {
public:
    virtual ~IHandOff() = default;
    // Raises on failure ("Cannot open clipboard", "Could not allocate memory.").
    virtual void PutFileOnClipboard(const std::string& path) = 0;
    // True when the mail client took the file; on failure shows its own box and returns false.
    virtual bool SendFileToMailClient(const std::string& path) = 0;
    // Result ignored by design.
    virtual void OpenWithAssociatedApp(const std::string& path) = 0;
    // Lets the window handle its pending events (nothing to do without a window).
    virtual void ProcessPendingEvents() = 0;
};

} // namespace lw
