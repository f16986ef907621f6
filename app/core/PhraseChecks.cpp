#include "app/core/PhraseChecks.h"

#include "crypto/SecureFill.h"

namespace lw {

bool TPhraseChecks::MayRun(bool encrypt, bool deleteSource, std::string_view phrase)
{
    if (!encrypt)
        return true;
    if (phrase.empty() &&
        m_ask.AskUserWithDefault(TMsgDlgType::mtWarning,
                                 "The key phrase is empty: anyone can decrypt the file. Encrypt anyway?", mbYes | mbNo,
                                 mbNo) != mbYes)
        return false;
    if (deleteSource) {
        std::string again;
        TScrubOnExit scrub(again);
        if (!m_again.AskPhraseAgain(again))
            return false;
        if (again != phrase) {
            m_ask.AskUser(TMsgDlgType::mtWarning, "The two key phrases differ. Nothing was encrypted.", mbOK);
            return false;
        }
    }
    return true;
}

} // namespace lw
