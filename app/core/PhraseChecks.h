#pragma once
#include <string>
#include <string_view>

#include "jobs/AskUser.h"

namespace lw {

// The second typing of the key phrase, asked in a modal prompt.
class IAskPhraseAgain {
public:
    virtual ~IAskPhraseAgain() = default;
    // Sets phrase to what was typed; false when the prompt was cancelled.
    virtual bool AskPhraseAgain(std::string& phrase) = 0;
};

// What the window asks before a job runs on the phrase typed; no Qt here, the window
// only shows the boxes.
class TPhraseChecks {
public:
    TPhraseChecks(IAskUser& ask, IAskPhraseAgain& again) : m_ask(ask), m_again(again) {}

    // True when the job may run. Encrypting with an empty phrase asks first, with No as
    // the default; encrypting when the source is to be deleted wants the phrase typed a
    // second time, since a mistyped phrase would then lose the file for good.
    // Decrypting asks nothing.
    bool MayRun(bool encrypt, bool deleteSource, std::string_view phrase);

private:
    IAskUser& m_ask;
    IAskPhraseAgain& m_again;
};

} // namespace lw
