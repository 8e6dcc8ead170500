// main() of each area's test program: runs the classes its tst_*.cpp files registered.
//   tst_<area> tst_<name> [QTest options]   the class of tests/<area>/tst_<name>.cpp (as ctest runs it)
//   tst_<area> <ClassName> [QTest options]  the same, by class name
//   tst_<area> [QTest options]              every class, one after another
//   tst_<area> tst_<name> --part K/N [...]   every N-th test function of the class, from the K-th on,
//                                           so a long class can run as N processes side by side
//   tst_<area> --list                       the file and class names
#include "TestRunner.h"
#include <QByteArray>
#include <QMetaMethod>
#include <QMetaObject>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string name; // the file's base name: tst_<name>
    std::string className;
    TestRunner::Run run;
    const QMetaObject *meta;
};

std::vector<Entry> &entries()
{
    static std::vector<Entry> list;
    return list;
}

std::string baseName(const char *file)
{
    std::string s(file);
    const auto slash = s.find_last_of("/\\");
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    const auto dot = s.find('.');
    if (dot != std::string::npos)
        s.erase(dot);
    return s;
}

// The test functions as QTest finds them: private slots without parameters, other than the
// fixtures and the _data tables.
std::vector<std::string> testFunctions(const QMetaObject *meta)
{
    static const char *const fixtures[] = {"initTestCase", "cleanupTestCase", "init", "cleanup"};
    std::vector<std::string> names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private
            || method.parameterCount() != 0)
            continue;
        const std::string name = method.name().toStdString();
        const bool fixture = std::find_if(std::begin(fixtures), std::end(fixtures), [&name](const char *f) {
                                 return name == f;
                             }) != std::end(fixtures);
        const bool table = name.size() > 5 && name.compare(name.size() - 5, 5, "_data") == 0;
        if (!fixture && !table)
            names.push_back(name);
    }
    return names;
}

// "K/N" with 1 <= K <= N.
bool parsePart(const char *text, int *k, int *n)
{
    char rest = 0;
    return std::sscanf(text, "%d/%d%c", k, n, &rest) == 2 && *n >= 1 && *k >= 1 && *k <= *n;
}

// Runs one class as its own program would have run: argv[0] names the file, so the application
// name and QTest's output stay as they were.
int runOne(const Entry &entry, const char *argv0, int argc, char **argv)
{
    std::vector<std::string> functions;
    if (argc >= 2 && std::strcmp(argv[0], "--part") == 0) {
        int k = 0;
        int n = 0;
        if (!parsePart(argv[1], &k, &n)) {
            std::fprintf(stderr, "%s: --part wants K/N with 1 <= K <= N, not \"%s\"\n", argv0, argv[1]);
            return 1;
        }
        const std::vector<std::string> all = testFunctions(entry.meta);
        for (std::size_t i = std::size_t(k - 1); i < all.size(); i += std::size_t(n))
            functions.push_back(all[i]);
        if (functions.empty()) {
            std::fprintf(stderr, "%s: part %s of %s has no test function\n", argv0, argv[1], entry.className.c_str());
            return 1;
        }
        argc -= 2;
        argv += 2;
    }
    std::string program(argv0);
    const auto slash = program.find_last_of('/');
    program = (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + entry.name;
    std::vector<char *> args;
    args.push_back(program.data());
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    for (std::string &function : functions)
        args.push_back(function.data());
    args.push_back(nullptr);
    return entry.run(int(args.size()) - 1, args.data());
}

} // namespace

bool TestRunner::add(const char *file, const char *className, Run run, const QMetaObject *meta)
{
    entries().push_back({baseName(file), className, run, meta});
    return true;
}

int main(int argc, char **argv)
{
    auto &list = entries();
    std::stable_sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        for (const Entry &e : list)
            std::printf("%s %s\n", e.name.c_str(), e.className.c_str());
        return 0;
    }
    if (argc > 1 && argv[1][0] != '-') {
        std::vector<const Entry *> chosen;
        for (const Entry &e : list) {
            if (e.name == argv[1] || e.className == argv[1])
                chosen.push_back(&e);
        }
        if (!chosen.empty()) {
            int failed = 0;
            for (const Entry *e : chosen)
                failed += runOne(*e, argv[0], argc - 2, argv + 2);
            return std::min(failed, 127);
        }
        if (std::strncmp(argv[1], "tst_", 4) == 0) {
            std::fprintf(stderr, "%s: no test class registered by %s.cpp (QTEST_MAIN missing?)\n", argv[0], argv[1]);
            return 2;
        }
    }
    int failed = 0;
    for (const Entry &e : list)
        failed += runOne(e, argv[0], argc - 1, argv + 1);
    return std::min(failed, 127);
}
