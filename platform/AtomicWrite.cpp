#include "platform/AtomicWrite.h"

#include <span>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

namespace lw {

bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode)
{
    try {
        TAtomicFile file(path, mode);
        file.Stream().WriteBuffer(std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size()));
        file.Commit(TCommitMode::Replace);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

} // namespace lw
