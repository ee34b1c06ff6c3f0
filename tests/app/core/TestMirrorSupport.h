#pragma once
// What the mirror suites share: the folders A and B in each test's temporary folder, paths below them, and
// the run log's lines compared in any order or by membership.

#include "app/core/FileRoutines.h"
#include "app/core/TestCoreSupport.h"
#include "log/core/LogSink.h"
#include "platform/core/FileSystem.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace pardova::testing {

using Lines = std::vector<std::string>;

// The run log's text before the destination of each copy.
inline const std::string kCopy = "  копирую -> ";

// The line that follows a copy or a folder that failed, for the platform's error code.
inline std::string FailureLine(uint32_t error) { return "  ошибка: " + platform::SysErrorMessage(error); }

// The lines with a failure line inserted after each line that `failed` names.
inline std::vector<std::string> WithFailures(const std::vector<std::string>& lines,
                                             const std::vector<std::pair<std::string, uint32_t>>& failed) {
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        result.push_back(line);
        for (const auto& [after, error] : failed) {
            if (after == line) {
                result.push_back(FailureLine(error));
            }
        }
    }
    return result;
}

// A log that keeps the lines of a pass in memory, for passes whose lines would outgrow the log file.
class LinesLog final : public LogSink {
public:
    void Write(const std::string& line) override { Lines.push_back(line); }
    std::vector<std::string> Lines;
};

// A and B are only named here; each suite creates what it needs of them.
class MirrorFixture : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        A = At("A");
        B = At("B");
    }

    // A path below A or B with native separators.
    std::string InA(const std::string& relative) const { return At("A/" + relative); }
    std::string InB(const std::string& relative) const { return At("B/" + relative); }

    static bool Contains(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    static Lines Sorted(Lines lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    // The log's lines, sorted: for tests that leave the order of siblings, which is the platform's, open.
    Lines SortedLogLines() const { return Sorted(LogLines()); }

    std::string A, B;
};

} // namespace pardova::testing
