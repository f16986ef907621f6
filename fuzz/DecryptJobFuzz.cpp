// A whole decrypt job on a real file. Layout of an input:
//   cipher (0-3, 4 for none), source name, two flag bytes, eight answer bytes for the
//   boxes, phrase length and phrase, then the payload. With "encipher" set the payload is
//   first enciphered (and with "pack" first bzip2-packed) with that cipher and phrase,
//   so the job gets past the cipher into the decompression and the output.
#include <algorithm>
#include <csignal>
#include <string>
#include <sys/resource.h>

#include "FuzzUtil.h"
#include "compress/BZip2.h"
#include "crypto/Sha1.h"
#include "jobs/CipherFactory.h"
#include "jobs/Jobs.h"
#include "platform/MemoryStream.h"

namespace {

using lwfuzz::Bytes;

using lwfuzz::Reader;

// Picks one of the offered buttons for every box, as the input says.
class AnyAnswer final : public lw::IAskUser {
public:
    explicit AnyAnswer(Bytes answers) : m_answers(std::move(answers)) {}
    lw::TMsgDlgBtn AskUser(lw::TMsgDlgType, const std::string& text, lw::TMsgDlgButtons buttons) override
    {
        texts.push_back(text);
        std::vector<lw::TMsgDlgBtn> offered;
        for (const auto b : {lw::mbYes, lw::mbNo, lw::mbOK, lw::mbCancel, lw::mbIgnore})
            if (buttons & b)
                offered.push_back(b);
        FUZZ_CHECK(!offered.empty());
        const uint8_t pick = m_answers.empty() ? 0 : m_answers[m_next++ % m_answers.size()];
        return offered[pick % offered.size()];
    }
    std::vector<std::string> texts;

private:
    Bytes m_answers;
    size_t m_next = 0;
};

class NoHandOff final : public lw::IHandOff {
public:
    NoHandOff(bool mailTaken, bool clipboardFails) : m_mailTaken(mailTaken), m_clipboardFails(clipboardFails) {}
    void PutFileOnClipboard(const std::string&) override
    {
        if (m_clipboardFails)
            throw lw::Exception("Cannot open clipboard");
    }
    bool SendFileToMailClient(const std::string&) override { return m_mailTaken; }
    void OpenWithAssociatedApp(const std::string&) override {}
    void ProcessPendingEvents() override {}

private:
    bool m_mailTaken;
    bool m_clipboardFails;
};

const char* const kNames[] = {"data.fe2", "data.fez", "DATA.FEZ", "data.txt.fe2", "data"};

bool Packed(const std::string& name)
{
    std::string ext = name.substr(std::min(name.rfind('.'), name.size()));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return char(std::tolower(c)); });
    return ext == ".fez";
}

void CheckNoTemporaryFile(const std::string& folder)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        FUZZ_CHECK(!entry.path().filename().string().starts_with(".lockwell-"));
}

lwfuzz::Scratch* g_scratch = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static lwfuzz::Scratch scratch;
    g_scratch = &scratch;
    // A small input can unpack to a great deal: past this size writes fail, which is a
    // failure path worth running rather than a finding.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16 << 20, 16 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const lwfuzz::Scratch& dir = *g_scratch;
    dir.Clear();
    Reader in(data, size);
    const int cipherIndex = in.Byte() % 5;
    const std::string name = kNames[in.Byte() % std::size(kNames)];
    const uint8_t flags = in.Byte();
    const uint8_t more = in.Byte();
    Bytes answers = in.Take(8);
    const Bytes phraseBytes = in.Take(in.Byte() % 33);
    const std::string phrase(phraseBytes.begin(), phraseBytes.end());
    const Bytes payload = in.Rest();

    const bool encipher = flags & 1, pack = flags & 2, existing = flags & 4;
    lw::TJobOptions options;
    options.SourcePath = dir / name;
    options.KeyPhrase = phrase;
    options.CipherIndex = cipherIndex < 4 ? cipherIndex : -1;
    if (flags & 8) {
        std::filesystem::create_directory(dir / "out");
        options.DestinationFolder = dir / "out";
    } else if (flags & 16) {
        options.DestinationFolder = dir / "missing";
    }
    options.DeleteSource = flags & 32;
    options.CopyToClipboard = flags & 64;
    options.RunOutput = flags & 64;
    options.SendByMail = flags & 128;
    options.DeleteAfterMail = more & 2;

    Bytes file = payload;
    if (encipher && options.CipherIndex >= 0) {
        lw::TMemoryStream plain, packed, sealed;
        plain.WriteBuffer(payload);
        lw::TStream* body = &plain;
        if (pack) {
            lw::TBZCompressionStream packer(lw::TBlockSize100k::bs5, packed);
            packer.WriteBuffer(payload);
            packer.Finish();
            body = &packed;
        }
        body->SetPosition(0);
        auto cipher = lw::CreateCipher(options.CipherIndex);
        cipher->SetKeyFromPhrase(phrase, lw::HashClass<lw::TDCP_sha1>());
        cipher->StreamEncrypt(*body, sealed, static_cast<uint64_t>(body->Size()));
        file = sealed.Data();
    }
    lwfuzz::WriteBytes(options.SourcePath, file.data(), file.size());

    std::string outputPath =
        name.rfind('.') == std::string::npos ? options.SourcePath : dir / name.substr(0, name.rfind('.'));
    if (!options.DestinationFolder.empty())
        outputPath = options.DestinationFolder + "/" + std::filesystem::path(outputPath).filename().string();
    const Bytes earlier = {'o', 'l', 'd'};
    if (existing && outputPath != options.SourcePath &&
        std::filesystem::is_directory(std::filesystem::path(outputPath).parent_path()))
        lwfuzz::WriteBytes(outputPath, earlier.data(), earlier.size());

    AnyAnswer ask(std::move(answers));
    NoHandOff handOff(more & 1, more & 4);
    lw::TJobContext context{ask, handOff};
    lw::RunDecryptJob(options, context);

    CheckNoTemporaryFile(dir.Path());
    // The file it was given is never touched, short of being wiped on request or
    // replaced on request when it is its own output.
    if (std::filesystem::exists(options.SourcePath) && outputPath != options.SourcePath)
        FUZZ_CHECK(lwfuzz::ReadBytes(options.SourcePath) == file);
    else if (!options.DeleteSource)
        FUZZ_CHECK(outputPath == options.SourcePath);
    // A sound file, the right key, nothing in the way: the output is the plaintext.
    const bool clean = encipher && options.CipherIndex >= 0 && pack == Packed(name) && !existing && !(flags & 16) &&
                       outputPath != options.SourcePath && !options.SendByMail;
    // Unless it looked like noise and the answer was not to keep it: then nothing is there.
    const bool dropped = context.FailureReason.rfind("The decrypted file does not look like", 0) == 0;
    if (dropped)
        FUZZ_CHECK(!std::filesystem::exists(outputPath) || outputPath == options.SourcePath || existing);
    if (clean && !dropped) {
        FUZZ_CHECK(std::find(ask.texts.begin(), ask.texts.end(), "File decrypted") != ask.texts.end());
        FUZZ_CHECK(lwfuzz::ReadBytes(outputPath) == payload);
    }
    return 0;
}
