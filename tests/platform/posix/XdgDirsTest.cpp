#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <sys/stat.h>

#include "platform/ProgramPath.h"
#include "platform/XdgDirs.h"

namespace {

// Sets variables for one test and puts the old values back.
class ScopedEnv {
public:
    ~ScopedEnv()
    {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    void Set(const std::string& name, const char* value)
    {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(XdgDirs, VariablesWinWhenAbsolute)
{
    ScopedEnv env;
    env.Set("HOME", "/home/ann");
    env.Set("XDG_DATA_HOME", "/d");
    env.Set("XDG_CONFIG_HOME", "/c");
    env.Set("XDG_CONFIG_DIRS", "/x:relative::/y/");
    EXPECT_EQ(lw::xdg::DataHome(), "/d");
    EXPECT_EQ(lw::xdg::ConfigHome(), "/c");
    EXPECT_EQ(lw::xdg::ConfigDirs(), (std::vector<std::string>{"/x", "/y/"}));
}

TEST(XdgDirs, DefaultsUnderHome)
{
    ScopedEnv env;
    env.Set("HOME", "/home/ann");
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
        env.Set("XDG_DATA_HOME", unusable);
        env.Set("XDG_CONFIG_HOME", unusable);
        env.Set("XDG_CONFIG_DIRS", unusable);
        EXPECT_EQ(lw::xdg::DataHome(), "/home/ann/.local/share");
        EXPECT_EQ(lw::xdg::ConfigHome(), "/home/ann/.config");
        EXPECT_EQ(lw::xdg::ConfigDirs(), std::vector<std::string>{"/etc/xdg"});
    }
}

TEST(XdgDirs, HomeFromTheAccountWhenUnset)
{
    ScopedEnv env;
    env.Set("HOME", nullptr);
    const std::string home = lw::xdg::HomeDir();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home[0], '/');
    env.Set("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(lw::xdg::DataHome(), home + "/.local/share");
}

TEST(ProgramPath, NamesTheRunningExecutable)
{
    const std::string path = lw::ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    struct stat named {
    }, running{};
    ASSERT_EQ(::stat(path.c_str(), &named), 0);
    ASSERT_EQ(::stat("/proc/self/exe", &running), 0);
    EXPECT_EQ(named.st_ino, running.st_ino);
    EXPECT_EQ(named.st_dev, running.st_dev);
}

} // namespace
