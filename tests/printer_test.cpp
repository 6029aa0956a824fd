// The debug window's Print: the spooler command and the job it gets, through a stand-in
// spooler placed first on PATH.
#include "platform/printer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "harness.h"

namespace tb {
namespace {

TEST(Printer, CommandCarriesTitleAndMargins) {
    // 200 units at 600 to the inch are a third of an inch: 24 points.
    EXPECT_EQ(PrintCommand("Debug Information", 200),
              (std::vector<std::string>{"lp", "-t", "Debug Information", "-o", "page-left=24", "-o",
                                        "page-right=24", "-o", "page-top=24", "-o",
                                        "page-bottom=24", "-"}));
}

// PATH points at `dir` while it lives.
struct PathGuard {
    std::string saved;
    explicit PathGuard(const std::string& dir) {
        const char* p = std::getenv("PATH");
        saved = p ? p : "";
        setenv("PATH", dir.c_str(), 1);
    }
    ~PathGuard() { setenv("PATH", saved.c_str(), 1); }
};

void WriteSpooler(const std::filesystem::path& file, int status) {
    std::ofstream(file) << "#!/bin/sh\n"
                        << "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                        << "cat > \"$(dirname \"$0\")/job\"\n"
                        << "exit " << status << "\n";
    chmod(file.c_str(), 0755);
}

std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Printer, SendsTheTextAsOneJob) {
    test::ScratchDir dir;
    WriteSpooler(dir.path / "lp", 0);
    std::string text = "line 1\nline 2 \xE9\n";
    std::string error;
    {
        PathGuard path(dir.path.string() + ":/bin:/usr/bin");
        ASSERT_TRUE(PrintText("Debug Information", text, 200, error)) << error;
    }
    EXPECT_EQ(Read(dir.path / "job"), text);
    EXPECT_NE(Read(dir.path / "args").find("Debug Information\n"), std::string::npos);
}

TEST(Printer, FailuresAreReported) {
    test::ScratchDir dir;
    std::string error;
    {
        PathGuard path(dir.path.string());  // no spooler at all
        EXPECT_FALSE(PrintText("t", "x", 200, error));
    }
    EXPECT_NE(error.find("lp"), std::string::npos);
    WriteSpooler(dir.path / "lp", 1);
    error.clear();
    {
        PathGuard path(dir.path.string() + ":/bin:/usr/bin");
        EXPECT_FALSE(PrintText("t", "x", 200, error));
    }
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tb
