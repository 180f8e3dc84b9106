// Gives every test process settings, data and cache folders of its own, made
// before anything reads them and removed when the process ends. ctest runs
// each test in a process of its own, side by side with the others and with
// other checkouts' suites, so no two tests ever share a settings file, a
// font cache or a library folder.

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

[[gnu::constructor(101)]] void makePrivateHome()
{
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
