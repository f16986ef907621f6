#pragma once
#include <string>

#include "crypto/SecureFill.h"

namespace lw::cli {

// The run's key phrase: read once, copied into each job's options, and scrubbed when the
// holder goes. main keeps it outside everything that can return early or throw, so no
// way out of a run skips the scrub.
class TPhraseHolder {
public:
    TPhraseHolder() = default;
    ~TPhraseHolder() { ScrubString(m_phrase); }
    TPhraseHolder(const TPhraseHolder&) = delete;
    TPhraseHolder& operator=(const TPhraseHolder&) = delete;

    std::string& Text() noexcept { return m_phrase; }
    const std::string& Text() const noexcept { return m_phrase; }

private:
    std::string m_phrase;
};

} // namespace lw::cli
