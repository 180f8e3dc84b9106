// Sets up every test process before anything of the program runs, however
// the process was started (by ctest or by hand):
// - settings, data and cache folders of its own, removed when the process
//   ends. ctest runs each test in a process of its own, side by side with the
//   others and with other checkouts' suites, so no two tests ever share a
//   settings file, a font cache or a library folder;
// - the environment every test relies on: no display, update checks on the
//   loopback interface where nothing answers, no web font downloads, and no
//   language choice of the developer's own. Programs a test starts inherit it.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <system_error>
#include <unistd.h>

namespace {

// Plain storage: the C++ objects of the program may be gone when the
// folders are removed.
char privateHome[4096];
pid_t owner = 0;

void setTestEnvironment()
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("OSSEL_UPDATE_URL", "http://127.0.0.1:9/zelvane-feed", 1);
    ::setenv("ZELVANE_DISABLE_WEB_FONTS", "1", 1);
    ::unsetenv("OSSEL_LANG");
}

[[gnu::constructor(101)]] void makePrivateHome()
{
    setTestEnvironment();
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/zelvane-test-home-XXXXXX";
    if (pattern.size() >= sizeof privateHome || !::mkdtemp(pattern.data()))
        return;
    pattern.copy(privateHome, pattern.size());
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"}, {"XDG_CACHE_HOME", "/cache"}};
    for (const auto& [variable, name] : folders) {
        const std::string folder = pattern + name;
        std::error_code ignored;
        std::filesystem::create_directory(folder, ignored);
        ::setenv(variable, folder.c_str(), 1);
    }
    owner = ::getpid();
}

[[gnu::destructor(101)]] void removePrivateHome()
{
    // A forked child that ends normally leaves the folders to its parent.
    if (!privateHome[0] || ::getpid() != owner)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(privateHome), ignored);
}

}  // namespace
