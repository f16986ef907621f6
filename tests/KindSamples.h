#pragma once
// Real files of many kinds: those tests/data/kinds/make_kinds.py makes with Python's own
// modules, the JPEG fixture beside it and this machine's /bin/ls.
#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace lwtest {

struct KindSample {
    std::string name;
    Bytes bytes;
};

inline const std::vector<KindSample>& KindSamples()
{
    // Made once per test program: the maker takes far longer than the checks.
    static const std::vector<KindSample> samples = [] {
        const std::string kinds = std::string(LOCKWELL_TEST_DATA_DIR) + "/kinds";
        TempDir dir;
        RunProgram({LOCKWELL_PYTHON, kinds + "/make_kinds.py", dir.Path()});
        std::vector<KindSample> all;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            all.push_back({entry.path().filename().string(), ReadFile(entry.path().string())});
        all.push_back({"photo.jpg", ReadFile(kinds + "/photo.jpg")});
        all.push_back({"ls", ReadFile("/bin/ls")});
        std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        return all;
    }();
    return samples;
}

inline const Bytes& KindSampleBytes(const std::string& name)
{
    for (const KindSample& sample : KindSamples())
        if (sample.name == name)
            return sample.bytes;
    throw std::runtime_error("no sample named " + name);
}

} // namespace lwtest
